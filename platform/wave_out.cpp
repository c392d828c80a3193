// Wave output: the waveOut functions over two devices, ALSA's default PCM and a virtual
// device. The virtual device "plays" on a clock, real time or a manual clock that tests
// advance, at the format's byte rate; it records what it plays by copying the bytes from
// the caller's buffer whenever a position is asked for, and at waveOutReset. A caller that
// rewrites only the parts of its buffer it has seen played (as a streaming player does)
// thus gets exactly the stream it produced.
//
// Positions are byte counts since waveOutWrite, returned in MMTIME's 32-bit `cb` (they wrap
// after 4 GiB, which keeps every block boundary of a power-of-two buffer in place).
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "platform/handle_table.h"
#include "platform/platform.h"
#include "platform/wave_device.h"
#include "platform/win32.h"

namespace {

// Recordings above this size stop growing in memory (the WAV file still gets everything).
const size_t PLAT_RECORDING_LIMIT = 256u << 20;

struct PlatWaveHandle {
  std::unique_ptr<PlatWaveOut> wave;
};

PlatHandleTable<PlatWaveHandle>& PlatWaveHandles() {
  static PlatHandleTable<PlatWaveHandle> table{PLAT_KIND_WAVEOUT, {}, {}, {}};
  return table;
}

struct PlatWaveSettings {
  std::mutex lock;
  bool deviceChosen = false;
  PlatWaveDevice device = PLAT_WAVE_ALSA;
  bool recordPathChosen = false;
  std::string recordPath;
  bool manualClock = false;
  std::atomic<uint64_t> manualFrames{0};
  std::vector<uint8_t> recording;
  PlatWavFile wavFile{nullptr, 0};
};

PlatWaveSettings& PlatWave() {
  static PlatWaveSettings settings;
  return settings;
}

// Reads ORVENNE_WAVE and ORVENNE_WAVE_RECORD once, unless a test chose first.
void PlatWaveReadEnvironment(PlatWaveSettings& s) {
  if (!s.deviceChosen) {
    s.deviceChosen = true;
    const char* name = std::getenv("ORVENNE_WAVE");
    std::string device = name ? name : "alsa";
    s.device = device == "virtual" ? PLAT_WAVE_VIRTUAL : device == "none" ? PLAT_WAVE_NONE : PLAT_WAVE_ALSA;
  }
  if (!s.recordPathChosen) {
    s.recordPathChosen = true;
    const char* path = std::getenv("ORVENNE_WAVE_RECORD");
    s.recordPath = path ? path : "";
  }
}

uint64_t PlatMonotonicNanoseconds() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (uint64_t)now.tv_sec * 1000000000u + (uint64_t)now.tv_nsec;
}

// The virtual clock in frames: real time since an arbitrary origin, or the manual clock.
uint64_t PlatVirtualClockFrames(const PlatWaveOut& wave) {
  PlatWaveSettings& s = PlatWave();
  if (s.manualClock) return s.manualFrames.load();
  uint64_t ns = PlatMonotonicNanoseconds();
  return (uint64_t)((unsigned __int128)ns * wave.format.nSamplesPerSec / 1000000000u);
}

uint64_t PlatVirtualPlayedBytes(const PlatWaveOut& wave) {
  uint64_t frames = PlatVirtualClockFrames(wave) - wave.clockStart;
  return frames * wave.format.nBlockAlign;
}

// Bytes heard so far from the current buffer; called under the record's lock.
uint64_t PlatPlayedBytes(PlatWaveOut& wave) {
  if (!wave.header) return 0;
  uint64_t played = wave.device == PLAT_WAVE_VIRTUAL ? PlatVirtualPlayedBytes(wave) : PlatAlsaPlayedBytes(wave.alsa);
  if (played > wave.totalBytes) played = wave.totalBytes;
  if (played < wave.reported) played = wave.reported;
  wave.reported = played;
  return played;
}

// Copies what the virtual device has played since the last call into the recording.
void PlatVirtualRecord(PlatWaveOut& wave, uint64_t played) {
  if (wave.device != PLAT_WAVE_VIRTUAL || !wave.header) return;
  PlatWaveSettings& s = PlatWave();
  std::lock_guard<std::mutex> guard(s.lock);
  while (wave.recordedBytes < played) {
    uint64_t count = std::min(PlatWaveBytesToEnd(wave, wave.recordedBytes), played - wave.recordedBytes);
    const uint8_t* bytes = (const uint8_t*)PlatWaveByteAt(wave, wave.recordedBytes);
    if (s.recording.size() + count <= PLAT_RECORDING_LIMIT) s.recording.insert(s.recording.end(), bytes, bytes + count);
    if (s.wavFile.file) PlatWavWrite(&s.wavFile, bytes, (DWORD)count);
    wave.recordedBytes += count;
  }
}

bool PlatFormatSupported(LPCWAVEFORMATEX f) {
  return f && f->wFormatTag == WAVE_FORMAT_PCM && (f->nChannels == 1 || f->nChannels == 2) &&
         (f->wBitsPerSample == 8 || f->wBitsPerSample == 16) && f->nSamplesPerSec >= 1000 &&
         f->nSamplesPerSec <= 192000 && f->nBlockAlign == f->nChannels * f->wBitsPerSample / 8;
}

PlatWaveOut* PlatWaveFromHandle(HWAVEOUT device) {
  PlatWaveHandle* handle = PlatHandleGet(PlatWaveHandles(), PlatHandleNumber(device));
  return handle ? handle->wave.get() : nullptr;
}

// Ends playback of the current buffer: records the last bytes heard and marks it done.
void PlatWaveStopLocked(PlatWaveOut& wave) {
  if (!wave.header) return;
  PlatVirtualRecord(wave, PlatPlayedBytes(wave));
  wave.header->dwFlags = (wave.header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
  wave.header = nullptr;
  wave.reported = 0;
}

}  // namespace

MMRESULT waveOutOpen(LPHWAVEOUT device, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback,
                     DWORD_PTR instance, DWORD flags) {
  (void)callback;
  (void)instance;
  if (device) *device = nullptr;
  if (deviceId != WAVE_MAPPER && deviceId != 0) return MMSYSERR_BADDEVICEID;
  if ((flags & CALLBACK_TYPEMASK) != CALLBACK_NULL) return MMSYSERR_NOTSUPPORTED;
  if (!PlatFormatSupported(format)) return WAVERR_BADFORMAT;
  if (!device) return MMSYSERR_INVALPARAM;

  auto wave = std::make_unique<PlatWaveOut>();
  wave->format = *format;
  wave->header = nullptr;
  wave->totalBytes = wave->reported = wave->clockStart = wave->recordedBytes = 0;
  wave->alsa = nullptr;
  PlatWaveSettings& s = PlatWave();
  {
    std::lock_guard<std::mutex> guard(s.lock);
    PlatWaveReadEnvironment(s);
    wave->device = s.device;
    if (wave->device == PLAT_WAVE_NONE) return MMSYSERR_NODRIVER;
    if (wave->device == PLAT_WAVE_VIRTUAL) {
      s.recording.clear();
      if (s.wavFile.file) PlatWavClose(&s.wavFile);
      if (!s.recordPath.empty() && !PlatWavOpen(&s.wavFile, s.recordPath.c_str(), format->nSamplesPerSec, format->nChannels))
        return MMSYSERR_ERROR;
    }
  }
  if (wave->device == PLAT_WAVE_ALSA && !(wave->alsa = PlatAlsaOpen(*format))) return MMSYSERR_NODRIVER;
  DWORD number = PlatHandleAdd(PlatWaveHandles(), std::make_unique<PlatWaveHandle>(PlatWaveHandle{std::move(wave)}));
  *device = PlatHandleFromNumber<HWAVEOUT>(number);
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutPrepareHeader(HWAVEOUT device, LPWAVEHDR header, UINT headerSize) {
  if (!PlatWaveFromHandle(device)) return MMSYSERR_INVALHANDLE;
  if (!header || headerSize < sizeof(WAVEHDR) || !header->lpData) return MMSYSERR_INVALPARAM;
  header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutWrite(HWAVEOUT device, LPWAVEHDR header, UINT headerSize) {
  PlatWaveOut* wave = PlatWaveFromHandle(device);
  if (!wave) return MMSYSERR_INVALHANDLE;
  if (!header || headerSize < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
  if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  std::unique_lock<std::mutex> guard(wave->lock);
  // One buffer plays at a time; the program hands over a single looping buffer.
  if (wave->header || header->dwBufferLength < wave->format.nBlockAlign) return MMSYSERR_ERROR;
  bool looping = (header->dwFlags & (WHDR_BEGINLOOP | WHDR_ENDLOOP)) == (WHDR_BEGINLOOP | WHDR_ENDLOOP);
  uint64_t loops = looping && header->dwLoops ? header->dwLoops : 1;
  wave->header = header;
  wave->totalBytes = (uint64_t)header->dwBufferLength * loops;
  wave->reported = 0;
  wave->recordedBytes = 0;
  header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
  if (wave->device == PLAT_WAVE_VIRTUAL) {
    wave->clockStart = PlatVirtualClockFrames(*wave);
    return MMSYSERR_NOERROR;
  }
  guard.unlock();
  PlatAlsaStart(wave->alsa, wave);
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutGetPosition(HWAVEOUT device, LPMMTIME time, UINT timeSize) {
  PlatWaveOut* wave = PlatWaveFromHandle(device);
  if (!wave) return MMSYSERR_INVALHANDLE;
  if (!time || timeSize < sizeof(MMTIME)) return MMSYSERR_INVALPARAM;
  std::lock_guard<std::mutex> guard(wave->lock);
  uint64_t played = PlatPlayedBytes(*wave);
  PlatVirtualRecord(*wave, played);
  // Bytes, samples and milliseconds are kept; any other kind is answered in bytes.
  if (time->wType == TIME_SAMPLES) {
    time->u.sample = (DWORD)(played / wave->format.nBlockAlign);
  } else if (time->wType == TIME_MS) {
    time->u.ms = (DWORD)(played * 1000 / wave->format.nAvgBytesPerSec);
  } else {
    time->wType = TIME_BYTES;
    time->u.cb = (DWORD)played;
  }
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutReset(HWAVEOUT device) {
  PlatWaveOut* wave = PlatWaveFromHandle(device);
  if (!wave) return MMSYSERR_INVALHANDLE;
  if (wave->device == PLAT_WAVE_ALSA) PlatAlsaStop(wave->alsa);
  std::lock_guard<std::mutex> guard(wave->lock);
  PlatWaveStopLocked(*wave);
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutUnprepareHeader(HWAVEOUT device, LPWAVEHDR header, UINT headerSize) {
  PlatWaveOut* wave = PlatWaveFromHandle(device);
  if (!wave) return MMSYSERR_INVALHANDLE;
  if (!header || headerSize < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
  std::lock_guard<std::mutex> guard(wave->lock);
  if (wave->header == header) return WAVERR_STILLPLAYING;
  header->dwFlags &= ~WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutClose(HWAVEOUT device) {
  PlatWaveOut* wave = PlatWaveFromHandle(device);
  if (!wave) return MMSYSERR_INVALHANDLE;
  {
    std::lock_guard<std::mutex> guard(wave->lock);
    if (wave->header) return WAVERR_STILLPLAYING;
  }
  std::unique_ptr<PlatWaveHandle> handle = PlatHandleTake(PlatWaveHandles(), PlatHandleNumber(device));
  if (!handle) return MMSYSERR_INVALHANDLE;
  if (handle->wave->alsa) PlatAlsaClose(handle->wave->alsa);
  if (handle->wave->device == PLAT_WAVE_VIRTUAL) {
    PlatWaveSettings& s = PlatWave();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.wavFile.file) PlatWavClose(&s.wavFile);
  }
  return MMSYSERR_NOERROR;
}

void PlatWaveSelectDevice(PlatWaveDevice device) {
  PlatWaveSettings& s = PlatWave();
  std::lock_guard<std::mutex> guard(s.lock);
  s.deviceChosen = true;
  s.device = device;
}

void PlatWaveUseManualClock(BOOL manual) {
  PlatWaveSettings& s = PlatWave();
  std::lock_guard<std::mutex> guard(s.lock);
  s.manualClock = manual != FALSE;
}

void PlatWaveAdvanceClock(DWORD frames) { PlatWave().manualFrames += frames; }

void PlatWaveRecordTo(const char* wavPath) {
  PlatWaveSettings& s = PlatWave();
  std::lock_guard<std::mutex> guard(s.lock);
  s.recordPathChosen = true;
  s.recordPath = wavPath ? wavPath : "";
}

std::vector<uint8_t> PlatWaveRecording(void) {
  PlatWaveSettings& s = PlatWave();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.recording;
}
