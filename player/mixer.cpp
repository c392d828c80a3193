// The mixer: steps each voice through its sample and adds it into the mix buffer.
//
// Positions and steps are 32.32 fixed point (pos.posFrac, stepInt.stepFrac), handled here
// as one 64-bit number each. Every run of frames ends at a loop boundary, at the end of a
// volume ramp or at the end of the call, and each of these is turned into a frame count
// before the run, so the inner loop only counts. Sample data holds length + 3 values and a
// copy of the value the loop continues with at loopStart + loopLength; interpolation reads
// the value after the current position. Volumes glide over 64 frames, times 64 (6
// fractional bits), and each frame adds about 32 * sample * volume into a mix value.
#include "player/mixer.h"

#include "player/control.h"
#include "player/model.h"

namespace {

// The loop as the mixer plays it. The loader keeps every loop inside its sample and gives a
// sample without a loop the whole sample as its "loop", so the end is never past the data.
struct ModMixLoop {
  uint32_t start;
  uint32_t end;
  uint8_t type;
};

ModMixLoop ModLoopOf(const ModSample* sample) {
  return {sample->loopStart, sample->loopStart + sample->loopLength, sample->loopType};
}

constexpr uint64_t ModFixed(uint32_t samples) { return (uint64_t)samples << 32; }

int32_t ModWrapAdd(int32_t a, int32_t b) { return (int32_t)((uint32_t)a + (uint32_t)b); }

// Sets up a new ramp when none runs or a target changed since the running one began.
void ModRampSetUp(ModVoice* voice) {
  if (voice->rampCount != 0 && (uint16_t)voice->leftTarget == voice->leftRampTarget &&
      (uint16_t)voice->rightTarget == voice->rightRampTarget) {
    return;
  }
  voice->leftRampTarget = (uint16_t)voice->leftTarget;
  voice->rightRampTarget = (uint16_t)voice->rightTarget;
  voice->leftRampStep = (int32_t)(((int64_t)voice->leftTarget * 64 - voice->leftCurrent) >> 6);
  voice->rightRampStep =
      (int32_t)(((int64_t)voice->rightTarget * 64 - voice->rightCurrent) >> 6);
  bool moving = voice->leftRampStep != 0 || voice->rightRampStep != 0;
  voice->rampCount = moving ? MOD_RAMP_FRAMES : 0;
}

// One side's share of an interpolated value v (5 extra bits) at an applied volume.
int32_t ModScale(int64_t v, int32_t current) {
  int64_t product = v * current;
  int64_t scaled = product >> 5;
  if (product < 0) scaled += 1;
  return (int32_t)(scaled >> 1);
}

// Mixes `frames` frames from position `p`; returns the position after them.
uint64_t ModMixRun(ModVoice* voice, const int16_t* data, uint64_t p, uint64_t step,
                   bool backward, int32_t* out, uint32_t frames) {
  int32_t left = voice->leftCurrent, right = voice->rightCurrent;
  const int32_t leftStep = voice->leftRampStep, rightStep = voice->rightRampStep;
  const uint64_t delta = backward ? 0 - step : step;  // going back adds the step's negative
  for (uint32_t i = 0; i < frames; i++) {
    uint32_t pos = (uint32_t)(p >> 32), frac = (uint32_t)p;
    int32_t s0 = data[pos], s1 = data[pos + 1];
    int64_t v = 32 * s0 + (((int64_t)(s1 - s0) * (frac >> 1)) >> 26);
    out[0] = ModWrapAdd(out[0], ModScale(v, left));
    out[1] = ModWrapAdd(out[1], ModScale(v, right));
    out += 2;
    left = ModWrapAdd(left, leftStep);
    right = ModWrapAdd(right, rightStep);
    p += delta;
  }
  voice->leftCurrent = left;
  voice->rightCurrent = right;
  return p;
}

// Position after a ping-pong turn: `over` is how far the position went past the boundary it
// met; it folds back and forth inside the loop, whose round trip is 2 * length. A position
// is never left going forward at the loop end, where the boundary ahead would be the
// sample's end instead of the loop's.
uint64_t ModPingPongTurn(const ModMixLoop& loop, uint64_t over, bool atEnd, uint8_t* backward) {
  uint64_t start = ModFixed(loop.start), end = ModFixed(loop.end), length = end - start;
  uint64_t r = over % (2 * length);
  if (atEnd) {
    *backward = r <= length ? 1 : 0;
    return r <= length ? end - r : start + (r - length);
  }
  *backward = r < length ? 0 : 1;
  return r < length ? start + r : end - (r - length);
}

// What happens at the boundary; false when the voice has stopped.
bool ModMixBoundary(ModVoice* voice, const ModMixLoop& loop, uint64_t* p) {
  if (loop.type == XM_LOOP_FORWARD) {
    uint32_t pos = (uint32_t)(*p >> 32), frac = (uint32_t)*p;
    uint32_t length = loop.end - loop.start;
    pos = pos > loop.end ? loop.start + (pos - loop.end) % length : pos - length;
    *p = ModFixed(pos) | frac;
    return true;
  }
  if (loop.type == XM_LOOP_PINGPONG) {
    if (!voice->backward) {
      *p = ModPingPongTurn(loop, *p - ModFixed(loop.end), true, &voice->backward);
    } else {
      *p = ModPingPongTurn(loop, ModFixed(loop.start) - *p, false, &voice->backward);
    }
    return true;
  }
  voice->sample = nullptr;
  *p = 0;
  return false;
}

}  // namespace

uint32_t ModSampleLoopEnd(const ModSample* sample) { return ModLoopOf(sample).end; }

void ModMixVoice(ModVoice* voice, int32_t* frames, uint32_t count) {
  const ModSample* sample = voice->sample;
  if (sample == nullptr) return;
  const ModMixLoop loop = ModLoopOf(sample);
  uint64_t p = ModFixed(voice->pos) | voice->posFrac;
  uint32_t left = count;
  while (left > 0) {
    // Distance to the boundary ahead, in the direction of travel.
    uint64_t distance;
    if (!voice->backward) {
      uint64_t boundary = ModFixed((p >> 32) < loop.end ? loop.end : sample->length);
      if (p > boundary) break;
      distance = boundary - p;
    } else {
      uint64_t boundary = ModFixed(loop.start);
      if (p < boundary) break;
      distance = p - boundary;
    }
    uint64_t step = ModFixed(voice->stepInt) | voice->stepFrac;
    if ((step >> 5) == 0) {
      voice->stepFrac = MOD_MIN_STEP;
      step = ModFixed(voice->stepInt) | MOD_MIN_STEP;
    }
    // Frames until the boundary is reached or passed. The full-width division keeps the
    // count exact for any step and distance, so the position lands on the boundary or less
    // than one step past it and no frame reads beyond it.
    uint64_t n = distance / step + (distance % step != 0 ? 1 : 0);
    if (n > 0) {
      uint32_t seg = n < left ? (uint32_t)n : left;
      bool reached = n <= left;
      ModRampSetUp(voice);
      if (voice->rampCount != 0 && voice->rampCount < seg) {
        seg = voice->rampCount;
        reached = false;
      }
      p = ModMixRun(voice, sample->data, p, step, voice->backward != 0, frames, seg);
      frames += 2 * seg;
      left -= seg;
      if (voice->rampCount != 0) {
        voice->rampCount = (uint16_t)(voice->rampCount - seg);
        if (voice->rampCount == 0) voice->leftRampStep = voice->rightRampStep = 0;
      }
      if (!reached) continue;
    }
    if (!ModMixBoundary(voice, loop, &p)) break;
  }
  voice->pos = (uint32_t)(p >> 32);
  voice->posFrac = (uint32_t)p;
}

void ModMixVoices(uint32_t position, uint32_t count) {
  int32_t* frames = modPlayer.mixBuffer + 2 * position;
  for (int32_t i = 0; i < 2 * modSong.channelCount; i++) {
    ModMixVoice(&modSong.voices[i], frames, count);
  }
}
