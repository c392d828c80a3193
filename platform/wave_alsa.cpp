// The ALSA device of the wave output: ALSA's "default" PCM (through PulseAudio or PipeWire
// where they run), fed by a writer thread that copies the looping buffer to the PCM in
// short chunks. The position heard is the frames written minus the PCM's delay, so it
// stays within a few milliseconds of what comes out of the speakers.
#include <alsa/asoundlib.h>
#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/wave_device.h"

struct PlatAlsaStream {
  snd_pcm_t* pcm;
  unsigned frameBytes;
  std::thread writer;
  std::atomic<bool> stop{false};
  uint64_t bytesWritten = 0;  // under the wave record's lock
  PlatWaveOut* wave = nullptr;
};

namespace {

const unsigned PLAT_ALSA_LATENCY_US = 30000;
const unsigned PLAT_ALSA_CHUNK_FRAMES = 256;

// Takes the next chunk of the looping buffer, under the lock; 0 when all loops are out.
size_t PlatAlsaNextChunk(PlatAlsaStream* s, std::vector<char>& chunk) {
  PlatWaveOut& wave = *s->wave;
  std::lock_guard<std::mutex> guard(wave.lock);
  if (!wave.header || s->bytesWritten >= wave.totalBytes) return 0;
  uint64_t count = std::min<uint64_t>({(uint64_t)PLAT_ALSA_CHUNK_FRAMES * s->frameBytes,
                                       PlatWaveBytesToEnd(wave, s->bytesWritten), wave.totalBytes - s->bytesWritten});
  count -= count % s->frameBytes;
  if (count == 0) return 0;
  std::memcpy(chunk.data(), PlatWaveByteAt(wave, s->bytesWritten), count);
  return count;
}

void PlatAlsaWriter(PlatAlsaStream* s) {
  std::vector<char> chunk(PLAT_ALSA_CHUNK_FRAMES * s->frameBytes);
  while (!s->stop.load()) {
    size_t count = PlatAlsaNextChunk(s, chunk);
    if (count == 0) break;
    snd_pcm_sframes_t frames = (snd_pcm_sframes_t)(count / s->frameBytes);
    const char* at = chunk.data();
    while (frames > 0 && !s->stop.load()) {
      snd_pcm_sframes_t written = snd_pcm_writei(s->pcm, at, (snd_pcm_uframes_t)frames);
      if (written == -EAGAIN) {
        snd_pcm_wait(s->pcm, 20);  // the PCM is full; waiting in slices keeps stop prompt
        continue;
      }
      if (written < 0) {
        // An underrun or a suspend: recover and go on; anything else ends playback.
        if (snd_pcm_recover(s->pcm, (int)written, 1) < 0) return;
        continue;
      }
      {
        std::lock_guard<std::mutex> guard(s->wave->lock);
        s->bytesWritten += (uint64_t)written * s->frameBytes;
      }
      at += written * s->frameBytes;
      frames -= written;
    }
  }
}

}  // namespace

PlatAlsaStream* PlatAlsaOpen(const WAVEFORMATEX& format) {
  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) return nullptr;
  snd_pcm_format_t sampleFormat = format.wBitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
  if (snd_pcm_set_params(pcm, sampleFormat, SND_PCM_ACCESS_RW_INTERLEAVED, format.nChannels, format.nSamplesPerSec, 1,
                         PLAT_ALSA_LATENCY_US) < 0) {
    snd_pcm_close(pcm);
    return nullptr;
  }
  PlatAlsaStream* s = new PlatAlsaStream;
  s->pcm = pcm;
  s->frameBytes = format.nBlockAlign;
  return s;
}

void PlatAlsaStart(PlatAlsaStream* s, PlatWaveOut* wave) {
  PlatAlsaStop(s);
  {
    std::lock_guard<std::mutex> guard(wave->lock);
    s->wave = wave;
    s->bytesWritten = 0;
  }
  snd_pcm_prepare(s->pcm);
  s->stop = false;
  s->writer = std::thread(PlatAlsaWriter, s);
  // The writer keeps the device fed; it gets real-time priority where the OS allows it.
  sched_param param{};
  param.sched_priority = sched_get_priority_max(SCHED_FIFO) / 2;
  pthread_setschedparam(s->writer.native_handle(), SCHED_FIFO, &param);
}

uint64_t PlatAlsaPlayedBytes(PlatAlsaStream* s) {
  snd_pcm_sframes_t delay = 0;
  if (snd_pcm_delay(s->pcm, &delay) < 0 || delay < 0) delay = 0;
  uint64_t queued = (uint64_t)delay * s->frameBytes;
  return s->bytesWritten > queued ? s->bytesWritten - queued : 0;
}

void PlatAlsaStop(PlatAlsaStream* s) {
  s->stop = true;
  if (s->writer.joinable()) s->writer.join();
  snd_pcm_drop(s->pcm);
}

void PlatAlsaClose(PlatAlsaStream* s) {
  PlatAlsaStop(s);
  snd_pcm_close(s->pcm);
  delete s;
}
