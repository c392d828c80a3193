// The sequencer on small modules: what notes, instruments, key-offs and tone portamento do
// to a channel and its voice, row by row and tick by tick.
#include <gtest/gtest.h>

#include "tests/player/engine_support.h"

namespace {

constexpr uint8_t kE4 = kC4 + 4;
constexpr int kTicksPerRow = 6;

class Sequencer : public EngineTest {
 protected:
  ModSample* FirstSample(int instrument = 0) { return modSong.instruments[instrument].samples[0]; }
  bool Silent() {
    for (int16_t value : LeftOutput())
      if (value != 0) return false;
    return true;
  }
};

TEST_F(Sequencer, NoteWithInstrumentStartsTheSampleAtItsVolumeAndPanning) {
  XmModule m = EngineModule();
  m.instruments[0].samples[0].volume = 40;
  m.instruments[0].samples[0].panning = 200;
  Cell(m, 0) = XmNote(kC4, 1);
  Load(m);
  Tick();
  ModChannel& c = Channel();
  EXPECT_EQ(c.note, 48);
  EXPECT_EQ(c.instrument, 0);
  EXPECT_EQ(c.period, 4608);
  EXPECT_EQ(c.notePeriod, 4608);
  EXPECT_EQ(c.volume, 40);
  EXPECT_EQ(c.panning, 200);
  EXPECT_EQ(c.volEnvVolume, 64);
  EXPECT_EQ(c.panEnvPan, 32);
  EXPECT_EQ(c.fadeoutVolume, 65536);
  EXPECT_EQ(Voice().sample, FirstSample());
  EXPECT_EQ(Voice().volume, (40 * 64 * 64 * 255 * 65536ll) >> 35);
  EXPECT_EQ(Voice().pan, 200);
  EXPECT_EQ(Voice().stepFrac, 748308572u);
  EXPECT_FALSE(Silent());
}

TEST_F(Sequencer, NoteAloneRestartsTheSampleAtTheChannelsVolume) {
  XmModule m = EngineModule();
  Cell(m, 0) = XmNote(kC4, 1, 0x30);  // volume 32
  Cell(m, 1) = XmNote(kE4, 0);
  Load(m);
  Ticks(kTicksPerRow);
  ModVoice* before = Channel().voice;
  Tick();
  EXPECT_EQ(Channel().volume, 32);
  EXPECT_EQ(Channel().period, 4608 - 4 * 64);
  EXPECT_NE(Channel().voice, before);  // the sounding voice is left to fade
  EXPECT_EQ(before->leftTarget, 0);
  EXPECT_EQ(Voice().sample, FirstSample());
}

TEST_F(Sequencer, InstrumentAloneResetsVolumeWhileTheSamplePlaysOn) {
  XmModule m = EngineModule();
  Cell(m, 0) = XmNote(kC4, 1, 0x20);
  Cell(m, 1) = XmNote(0, 1);
  Load(m);
  Ticks(kTicksPerRow);
  ModVoice* voice = Channel().voice;
  Channel().keyOff = 1;
  Tick();
  EXPECT_EQ(Channel().volume, 64);
  EXPECT_EQ(Channel().keyOff, 0);
  EXPECT_EQ(Channel().voice, voice);
  // Seven blocks at the step of C-4 from position 0, inside the 32-value loop: moved on,
  // not restarted.
  uint64_t p = (7ull * MOD_BLOCK_FRAMES * 748308572u) % (32ull << 32);
  EXPECT_EQ(voice->pos, (uint32_t)(p >> 32));
  EXPECT_EQ(voice->posFrac, (uint32_t)p);
}

TEST_F(Sequencer, KeyOffSilencesAnInstrumentWithoutVolumeEnvelopeAtOnce) {
  XmModule m = EngineModule();
  Cell(m, 0) = XmNote(kC4, 1);
  Cell(m, 1) = XmNote(97, 0);
  Cell(m, 2) = XmNote(kE4, 0);  // a later note without instrument stays silent
  Load(m);
  Ticks(kTicksPerRow);
  EXPECT_GT(Voice().volume, 0);
  Tick();
  EXPECT_EQ(Channel().keyOff, 1);
  EXPECT_EQ(Channel().volEnvVolume, 0);
  EXPECT_EQ(Voice().volume, 0);
  Ticks(2 * kTicksPerRow - 1);
  EXPECT_EQ(Voice().sample, FirstSample());
  EXPECT_EQ(Voice().volume, 0);
  Ticks(4);  // the left voice has faded out too
  EXPECT_TRUE(Silent());
}

TEST_F(Sequencer, KeyOffReleasesTheSustainOnTheSameTick) {
  XmModule m = EngineModule();
  XmEnvelope& env = m.instruments[0].volEnv;
  env.points = {{0, 64}, {2, 32}, {4, 0}};
  env.sustain = 1;
  env.flags = 3;
  m.instruments[0].fadeout = 4096;  // 8192 a tick after loading
  Cell(m, 0) = XmNote(kC4, 1);
  Cell(m, 1) = XmNote(0, 0, 0, 0x14, 0x33);  // K, whatever its parameter
  Load(m);
  Ticks(kTicksPerRow);
  EXPECT_EQ(Channel().volEnvVolume, 32);  // held
  Tick();
  EXPECT_EQ(Channel().keyOff, 1);
  EXPECT_EQ(Channel().volEnvPoint, 2);  // moved on from the sustain point
  EXPECT_EQ(Channel().fadeoutVolume, 65536 - 8192);
  Tick();
  EXPECT_EQ(Channel().volEnvVolume, 16);
  EXPECT_EQ(Channel().fadeoutVolume, 65536 - 2 * 8192);
}

TEST_F(Sequencer, TonePortamentoWithANoteSlidesInsteadOfRestarting) {
  XmModule m = EngineModule();
  XmInstrument quiet = XmSingleSampleInstrument(RampSample());
  quiet.samples[0].volume = 10;
  quiet.samples[0].relativeNote = 12;
  m.instruments.push_back(quiet);
  Cell(m, 0) = XmNote(kC4, 1, 0x20);
  Cell(m, 1) = XmNote(kE4, 2, 0, 0x03, 0x10);  // instrument 2 is ignored but resets volume
  Cell(m, 2) = XmNote(kC4, 0, 0xF1);  // the volume column's tone portamento, speed 16
  Load(m);
  Ticks(kTicksPerRow);
  ModVoice* voice = Channel().voice;
  Tick();
  EXPECT_EQ(Channel().voice, voice);
  EXPECT_EQ(Channel().instrument, 0);
  EXPECT_EQ(Channel().volume, 64);  // from the old sample, not 10
  EXPECT_EQ(Channel().portaTarget, 4352);  // E-4 with the old sample's relative note 0
  EXPECT_EQ(Channel().period, 4608);
  Ticks(2);
  EXPECT_EQ(Channel().period, 4608 - 2 * 64);
  Ticks(3);
  EXPECT_EQ(Channel().period, 4352);  // landed exactly
  Tick();
  EXPECT_EQ(Channel().voice, voice);
  EXPECT_EQ(Channel().period, 4352);
  EXPECT_EQ(Channel().portaTarget, 4608);
  Tick();
  EXPECT_EQ(Channel().period, 4352 + 64);
}

TEST_F(Sequencer, VolumeStaysWhereTheTremoloLeftIt) {
  XmModule m = EngineModule();
  Cell(m, 0) = XmNote(kC4, 1, 0x30, 0x07, 0x48);  // tremolo speed 4, depth 8
  Load(m);
  Ticks(kTicksPerRow);
  // Positions 0, 4, 8, 12, 16 on ticks 1 to 5: the last offset is 8 * 127 >> 5 = 31.
  EXPECT_EQ(Channel().volumeDelta, 31);
  EXPECT_EQ(Channel().volume, 32);
  Tick();
  EXPECT_EQ(Channel().volume, 63);
  EXPECT_EQ(Channel().volumeDelta, 0);
}

TEST_F(Sequencer, ChannelThatNeverHadAnInstrumentIsSilent) {
  XmModule m = EngineModule();
  Cell(m, 0) = XmNote(kC4, 0);
  Load(m);
  Ticks(3);
  EXPECT_EQ(Voice().sample, FirstSample());
  EXPECT_EQ(Voice().volume, 0);
  EXPECT_TRUE(Silent());
}

// Every cell's instrument is cleared when there are none; notes then select the silent
// sample of the one blank instrument record.
TEST_F(Sequencer, ModuleWithoutInstrumentsPlaysSilence) {
  XmModule m = EngineModule(2);
  m.instruments.clear();
  Cell(m, 0) = XmNote(kC4, 1, 0x40, 0x0A, 0x0F);
  Cell(m, 0, 1) = XmNote(kC4, 3, 0, 0x1B, 0x81);
  Load(m);
  for (int i = 0; i < 200; i++) {
    Tick();
    ASSERT_TRUE(Silent());
  }
  EXPECT_EQ(Channel().instrument, 0);
  EXPECT_EQ(Voice().sample, nullptr);  // the silent sample ends at once
}

// A pattern break may land past the end of the next pattern: that row is empty and the song
// goes on with the order after it.
TEST_F(Sequencer, RowPastThePatternEndIsEmpty) {
  XmModule m = EngineModule();
  m.orders = {0, 1};
  m.patterns.push_back(XmPattern{});
  m.patterns[1].rows = 8;
  Cell(m, 0) = XmNote(kC4, 1, 0, 0x0D, 0x99);
  Cell(m, 0, 0, 1) = XmNote(0, 0, 0x10);  // volume 0 at row 0 of pattern 1, never played
  Load(m);
  Ticks(kTicksPerRow + 1);
  EXPECT_EQ(modSong.orderPos, 1);
  EXPECT_EQ(modSong.row, 99);
  EXPECT_EQ(Channel().volume, 64);
  Ticks(kTicksPerRow);
  EXPECT_EQ(modSong.orderPos, 0);
  EXPECT_EQ(modSong.row, 0);
}

}  // namespace
