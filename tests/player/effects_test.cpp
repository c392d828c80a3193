// Pattern effects and the volume column, played through the sequencer on small modules and
// observed tick by tick on the channel, the voice and the song position.
#include <gtest/gtest.h>

#include <functional>

#include "player/pitch.h"
#include "tests/player/engine_support.h"

namespace {

constexpr int kTicksPerRow = 6;

XmCell Fx(uint8_t effect, uint8_t param, uint8_t volume = 0) { return XmCell{0, 0, volume, effect, param}; }
XmCell NoteFx(uint8_t effect, uint8_t param, uint8_t volume = 0) {
  return XmCell{kC4, 1, volume, effect, param};
}

class Effects : public EngineTest {
 protected:
  // Loads `m` with `rows` on channel 0 from row 0 on.
  void LoadRows(const std::vector<XmCell>& rows, XmModule m = EngineModule()) {
    for (size_t i = 0; i < rows.size(); i++) Cell(m, (int)i) = rows[i];
    Load(m);
  }
  // A channel or song value after each of `ticks` ticks.
  std::vector<int32_t> Trace(int ticks, const std::function<int32_t()>& value) {
    std::vector<int32_t> values;
    for (int i = 0; i < ticks; i++) {
      Tick();
      values.push_back(value());
    }
    return values;
  }
  // The ticks, counted from 0, on which the channel started a note on a voice.
  std::vector<int> Triggers(int ticks) {
    std::vector<int> starts;
    for (int i = 0; i < ticks; i++) {
      ModVoice* before = Channel().voice;
      bool idle = before->sample == nullptr;
      Tick();
      // A start moves to the other voice while the old one sounds (the looped sample always
      // does), or gives an idle one a sample.
      bool started = Channel().voice != before || (idle && Voice().sample != nullptr);
      if (started) starts.push_back(i);
    }
    return starts;
  }
  int32_t Period() { return Channel().period; }
  int32_t Volume() { return Channel().volume; }
};

using Values = std::vector<int32_t>;

TEST_F(Effects, PortamentoUpAndDownShareTheirSpeed) {
  LoadRows({NoteFx(0x01, 0x04), Fx(0x02, 0x00)});
  Values expected = {4608, 4592, 4576, 4560, 4544, 4528, 4528, 4544, 4560, 4576, 4592, 4608};
  EXPECT_EQ(Trace(12, [&] { return Period(); }), expected);
}

TEST_F(Effects, PortamentoUpStopsAtPeriodOne) {
  LoadRows({XmCell{96, 1, 0, 0x01, 0xFF}});  // B-7: period 1600
  EXPECT_EQ(Trace(3, [&] { return Period(); }), (Values{1600, 580, 1}));
}

TEST_F(Effects, VolumeSlidesShareTheirMemory) {
  LoadRows({NoteFx(0x0A, 0x01), Fx(0x0A, 0x00), Fx(0x06, 0x00), Fx(0x05, 0x00), Fx(0x0A, 0x10),
            Fx(0x0A, 0x00)});
  Values afterRows;
  for (int row = 0; row < 6; row++) {
    Ticks(kTicksPerRow);
    afterRows.push_back(Volume());
  }
  EXPECT_EQ(afterRows, (Values{59, 54, 49, 44, 49, 54}));
}

TEST_F(Effects, VibratoAdvancesOnEveryTickOfTheRow) {
  LoadRows({NoteFx(0x04, 0x4F), Fx(0x04, 0x00)});
  Values deltas = Trace(kTicksPerRow, [&] { return Channel().periodDelta; });
  EXPECT_EQ(Channel().vibratoPos, 24);
  // 15 * S[p] >> 5 >> 1 at positions 0, 4, 8, 12, 16, 20.
  EXPECT_EQ(deltas, (Values{0, 11, 21, 27, 29, 27}));
  Ticks(kTicksPerRow);
  EXPECT_EQ(Channel().vibratoPos, 48);
}

TEST_F(Effects, ArpeggioInBothModes) {
  LoadRows({NoteFx(0x00, 0x37)});
  EXPECT_EQ(Trace(6, [&] { return Channel().periodDelta; }), (Values{0, 192, 448, 0, 192, 448}));
  XmModule amiga = EngineModule();
  amiga.flags = 0;
  LoadRows({NoteFx(0x00, 0x37)}, amiga);
  int32_t up3 = ModAmigaPeriod(51, 0) - 1712, up7 = ModAmigaPeriod(55, 0) - 1712;
  EXPECT_EQ(Trace(3, [&] { return Channel().periodDelta; }), (Values{0, up3, up7}));
  EXPECT_EQ(up7, 1143 - 1712);
  EXPECT_EQ(ModPeriodFrequency(1712, up7), MOD_AMIGA_CLOCK / 1143);  // 12526 Hz: G-4
}

TEST_F(Effects, TremorSoundsAndPausesInACycleAcrossRows) {
  LoadRows({NoteFx(0x1D, 0x12), Fx(0x1D, 0x00)});
  Values volumes = Trace(12, [&] { return Voice().volume; });
  Values expected = {127, 127, 0, 0, 0, 127, 127, 0, 0, 0, 127, 127};
  EXPECT_EQ(volumes, expected);
}

TEST_F(Effects, RetriggersFireOnTheirTicksOnly) {
  struct Case {
    XmCell cell;
    std::vector<int> ticks;
    int32_t volume;
  } cases[] = {
      {NoteFx(0x1B, 0x02), {0, 2, 4}, 64},   // R, no volume change
      {NoteFx(0x1B, 0x13), {0, 3}, 63},      // R, volume - 1 on the retrigger tick only
      {NoteFx(0x1B, 0x73, 0x30), {0, 3}, 16},  // R, volume >> 1
      {NoteFx(0x1B, 0x00), {0}, 64},
      {NoteFx(0x0E, 0x92), {0, 2, 4}, 64},  // E9
      {NoteFx(0x0E, 0x97), {0}, 64},        // longer than the row: never
      {NoteFx(0x0E, 0x90), {0}, 64},
  };
  for (const Case& c : cases) {
    LoadRows({c.cell});
    EXPECT_EQ(Triggers(kTicksPerRow), c.ticks) << (int)c.cell.effect << " " << (int)c.cell.param;
    EXPECT_EQ(Volume(), c.volume);
    ModStop();
  }
}

TEST_F(Effects, NoteCutOnItsTick) {
  struct Case {
    uint8_t param;
    Values volumes;
  } cases[] = {
      {0xC2, {64, 64, 0, 0, 0, 0}},
      {0xC0, {64, 64, 64, 64, 64, 64}},  // EC0 never cuts
      {0xC9, {64, 64, 64, 64, 64, 64}},
  };
  for (const Case& c : cases) {
    LoadRows({NoteFx(0x0E, c.param)});
    EXPECT_EQ(Trace(kTicksPerRow, [&] { return Volume(); }), c.volumes) << (int)c.param;
    ModStop();
  }
}

TEST_F(Effects, NoteDelayStartsTheNoteOnItsTick) {
  LoadRows({NoteFx(0, 0, 0x30), XmCell{kC4 + 12, 1, 0x40, 0x0E, 0xD2}});
  Ticks(kTicksPerRow);
  ModVoice* before = Channel().voice;
  // Nothing of the delayed note reaches the voice before its tick.
  for (int i = 0; i < 2; i++) {
    Tick();
    EXPECT_EQ(Channel().voice, before);
    EXPECT_EQ(Channel().period, 4608);
    EXPECT_EQ(Channel().volume, 32);
    EXPECT_EQ(Voice().volume, 63);
  }
  Tick();
  EXPECT_NE(Channel().voice, before);
  EXPECT_EQ(Channel().period, 4608 - 768);
  EXPECT_EQ(Channel().volume, 48);  // the sample's 64, then the volume column's 0x40
  EXPECT_EQ(Voice().volume, 95);
  EXPECT_EQ(Channel().volEnvVolume, 64);
}

TEST_F(Effects, NoteDelayAtOrPastTheRowsEndSwallowsTheNote) {
  for (uint8_t param : {0xD0, 0xD6, 0xD9}) {
    LoadRows({NoteFx(0, 0, 0x30), XmCell{kC4 + 12, 1, 0xC0, 0x0E, param}});
    Ticks(kTicksPerRow);
    ModVoice* before = Channel().voice;
    for (int i = 0; i < kTicksPerRow; i++) {
      Tick();
      EXPECT_EQ(Channel().voice, before) << (int)param;
      EXPECT_EQ(Voice().volume, 63);
      EXPECT_EQ(Voice().pan, 128);  // the volume column's panning 0 never reaches it
    }
    ModStop();
  }
}

TEST_F(Effects, PatternLoopRepeatsItsRows) {
  LoadRows({NoteFx(0x0E, 0x60), Fx(0, 0), Fx(0x0E, 0x62)});
  Values rows;
  for (int i = 0; i < 10; i++) {
    Tick();
    rows.push_back(modSong.row);
    Ticks(kTicksPerRow - 1);
  }
  EXPECT_EQ(rows, (Values{0, 1, 2, 0, 1, 2, 0, 1, 2, 3}));
}

TEST_F(Effects, JumpsAndBreaksCombineInChannelOrder) {
  struct Case {
    XmCell first, second;
    int32_t order, row;
  } cases[] = {
      {Fx(0x0D, 0x32), Fx(0, 0), 1, 32},      // D32: row 32 of the next order
      {Fx(0x0B, 2), Fx(0x0D, 0x05), 2, 5},    // D after B keeps the B's order
      {Fx(0x0D, 0x05), Fx(0x0B, 2), 2, 0},    // B after D: its order, row 0
      {Fx(0x0B, 7), Fx(0, 0), 0, 0},          // beyond the song: order 0
  };
  for (const Case& c : cases) {
    XmModule m = EngineModule(2);
    m.orders = {0, 0, 0};
    Cell(m, 0, 0) = c.first;
    Cell(m, 0, 1) = c.second;
    Load(m);
    Ticks(kTicksPerRow + 1);
    EXPECT_EQ(modSong.orderPos, c.order) << (int)c.first.effect << " " << (int)c.second.effect;
    EXPECT_EQ(modSong.row, c.row);
    ModStop();
  }
}

TEST_F(Effects, SpeedTempoAndGlobalVolume) {
  LoadRows({Fx(0x0F, 0x00), Fx(0x10, 0x50), Fx(0x0F, 0x03), Fx(0x11, 0x02), Fx(0x11, 0x00)});
  Tick();
  EXPECT_EQ(modSong.speed, 0);  // every tick is a row's first
  Tick();
  EXPECT_EQ(modSong.row, 1);
  EXPECT_EQ(modSong.globalVolume, 64);  // G50 sets 64 at most
  Tick();
  EXPECT_EQ(modSong.speed, 3);
  Ticks(2);
  Ticks(3);  // H02: -2 on ticks 1 and 2
  EXPECT_EQ(modSong.globalVolume, 60);
  Ticks(3);  // H00 repeats it
  EXPECT_EQ(modSong.globalVolume, 56);
  XmModule tempo = EngineModule();
  Cell(tempo, 0) = Fx(0x0F, 0x20);
  Load(tempo);
  modSong.tickSamplesLeft = 0;
  ModRenderBlock();
  EXPECT_EQ(modSong.samplesPerTick, 3750u);
}

TEST_F(Effects, PatternDelayLengthensTheRow) {
  // Channel 1 slides the volume once on every tick after the first.
  XmModule m = EngineModule(2);
  Cell(m, 0, 0) = Fx(0x0E, 0xE2);
  Cell(m, 0, 1) = NoteFx(0x0A, 0x01);
  Load(m);
  Ticks(18);
  EXPECT_EQ(modSong.row, 0);
  EXPECT_EQ(Channel(1).volume, 64 - 17);
  Tick();
  EXPECT_EQ(modSong.row, 1);
}

TEST_F(Effects, VolumeColumnCommands) {
  struct Case {
    uint8_t volume;
    int32_t afterRow, panning;
  } cases[] = {
      {0x10, 0, 128},  {0x50, 64, 128}, {0x65, 34, 128},  // x on every tick: 6 * 5
      {0x72, 64, 128}, {0x85, 59, 128}, {0x95, 64, 128},
      {0xC4, 64, 64},  {0xD2, 64, 116}, {0xE3, 64, 146},  // pan slides on every tick
      {0x05, 64, 128}, {0x55, 64, 128},                   // nothing
  };
  for (const Case& c : cases) {
    LoadRows({NoteFx(0, 0, c.volume)});
    Ticks(kTicksPerRow);
    EXPECT_EQ(Volume(), c.afterRow) << std::hex << (int)c.volume;
    EXPECT_EQ(Channel().panning, c.panning) << std::hex << (int)c.volume;
    ModStop();
  }
}

TEST_F(Effects, PanningEffects) {
  LoadRows({NoteFx(0x08, 0x40), Fx(0x0E, 0x8F), Fx(0x19, 0x40), Fx(0x19, 0x05), Fx(0x19, 0x00)});
  Values after;
  for (int row = 0; row < 5; row++) {
    Ticks(kTicksPerRow);
    after.push_back(Channel().panning);
  }
  EXPECT_EQ(after, (Values{0x40, 240, 255, 230, 205}));
  EXPECT_EQ(Voice().pan, 205);
}

TEST_F(Effects, FineSlidesAndTheirMemories) {
  LoadRows({NoteFx(0x0E, 0x12), Fx(0x0E, 0x10), Fx(0x0E, 0x23), Fx(0x0E, 0x20), Fx(0x21, 0x15),
            Fx(0x21, 0x10), Fx(0x21, 0x27), Fx(0x21, 0x20), Fx(0x0E, 0xA4), Fx(0x0E, 0xB6),
            Fx(0x0E, 0xA0), Fx(0x0E, 0xB0)},
           [] {
             XmModule m = EngineModule();
             m.instruments[0].samples[0].volume = 40;
             return m;
           }());
  Values periods, volumes;
  for (int row = 0; row < 12; row++) {
    Tick();
    periods.push_back(Period());
    volumes.push_back(Volume());
    Ticks(kTicksPerRow - 1);
  }
  EXPECT_EQ(periods, (Values{4600, 4592, 4604, 4616, 4611, 4606, 4613, 4620, 4620, 4620, 4620,
                             4620}));
  // EA0 and EB0 both repeat the last fine slide, which was EB6's downward one.
  EXPECT_EQ(volumes, (Values{40, 40, 40, 40, 40, 40, 40, 40, 44, 38, 32, 26}));
}

TEST_F(Effects, SampleOffsetStartsTheNoteInsideTheSampleOnly) {
  XmModule m = EngineModule();
  m.instruments[0].samples[0].values.assign(4000, 10);
  m.instruments[0].samples[0].loopType = 0;
  LoadRows({NoteFx(0x09, 0x02), Fx(0x09, 0x03), XmCell{kC4, 0, 0, 0x09, 0x10}}, m);
  const uint32_t block = (uint32_t)((1024ull * 748308572u) >> 32);  // positions a block
  Tick();
  EXPECT_EQ(Channel().sampleOffset, 512u);
  EXPECT_EQ(Voice().startOffset, 0u);
  EXPECT_EQ(Voice().pos, 512 + block);  // the first frame was mixed from 512
  Ticks(kTicksPerRow);
  // Without a note the offset waits on the voice for the next note start.
  EXPECT_EQ(Voice().startOffset, 768u);
  Ticks(kTicksPerRow - 1);
  // An offset of 4096 is past the sample's end: no note start, and the sample playing on
  // the voice goes on from its beginning.
  ModVoice* voice = Channel().voice;
  Tick();
  EXPECT_EQ(Channel().voice, voice);
  EXPECT_EQ(voice->startOffset, 0u);
  EXPECT_EQ(voice->pos, block);
}

TEST_F(Effects, SetFinetuneChangesTheSampleForTheNextNote) {
  LoadRows({NoteFx(0x0E, 0x58), NoteFx(0, 0)});
  Tick();
  EXPECT_EQ(modSong.instruments[0].samples[0]->finetune, 8);
  EXPECT_EQ(Period(), 4608);
  Ticks(kTicksPerRow);
  EXPECT_EQ(Period(), 4604);
}

// With no sample behind the note, the effect meets the shared silent sample and leaves it as
// it is, for this module and the next.
TEST_F(Effects, SetFinetuneLeavesTheSilentSampleAlone) {
  XmModule m = EngineModule();
  m.instruments.clear();
  LoadRows({XmCell{kC4, 0, 0, 0x0E, 0x58}}, m);
  Tick();
  EXPECT_EQ(ModSilentSample.finetune, 0);
}

TEST_F(Effects, WaveformControlsAreSeparate) {
  LoadRows({NoteFx(0x0E, 0x46), Fx(0x0E, 0x71)});
  Ticks(kTicksPerRow + 1);
  EXPECT_EQ(Channel().waveControl, 0x16);
}

}  // namespace
