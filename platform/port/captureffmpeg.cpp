#include "platform/port/captureffmpeg.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <system_error>

extern char** environ;

namespace port {
namespace {

namespace fs = std::filesystem;

// The descriptors ffmpeg reads the frames and the sound from (pipe:3, pipe:4).
constexpr int VideoDescriptor = 3;
constexpr int SoundDescriptor = 4;
// Our own ends are moved above these, so that setting up the child never trips on them.
constexpr int LowestOwnDescriptor = 10;
// A frame is 1.2 MB: a large pipe lets ffmpeg take it in few reads.
constexpr int PipeBytes = 1 << 20;
constexpr int InputQueuePackets = 64;
// The raw inputs say everything about themselves on the command line: without this,
// ffmpeg reads seconds of sound before it takes a second frame.
constexpr const char* ProbeBytes = "32";
// How much video may wait for ffmpeg (see the header): this long, at least a few frames,
// at most a bounded amount of memory.
constexpr double VideoQueueSeconds = 0.5;
constexpr std::size_t VideoQueueLeastFrames = 8;
constexpr std::size_t VideoQueueMostBytes = std::size_t{256} << 20;
// How long an ffmpeg that stopped reading is given to exit by itself (and tell why)
// before it is killed.
constexpr std::chrono::milliseconds FailedExitGrace{2000};
constexpr std::chrono::milliseconds FailedExitPoll{10};
constexpr std::size_t LogKeptBytes = 8192;
constexpr int BytesPerPixel = 4;
constexpr int BytesPerSample = 2;

// Quality and speed of the H.264 video: constant quality 16 looks like the original
// (small blocks of pure colour and hard text edges included). The preset is for speed:
// at 640 x 480 on one core "veryfast" encodes about 117 frames a second, "superfast"
// about 194, fast enough to record the whole show in under half its length on two
// cores; at the same quality setting its file is some 30 % larger and measures no worse
// (luma PSNR 47.7 dB against veryfast's 45.9 on the show's first seconds).
constexpr const char* H264Quality = "16";
constexpr const char* H264Preset = "superfast";
constexpr const char* AacBitrate = "192k";

std::string systemError(int error) { return std::error_code(error, std::generic_category()).message(); }

// "show.mp4" -> "show.partial.mp4", in the same directory (so the rename stays there).
fs::path partialName(const fs::path& output) {
  fs::path partial = output;
  partial.replace_filename(output.stem().string() + ".partial" + output.extension().string());
  return partial;
}

int moveAbove(int descriptor) {
  const int moved = fcntl(descriptor, F_DUPFD_CLOEXEC, LowestOwnDescriptor);
  close(descriptor);
  return moved;
}

// A pipe with both ends close-on-exec and above the low descriptors.
bool makePipe(int& readEnd, int& writeEnd) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return false;
  readEnd = moveAbove(ends[0]);
  writeEnd = moveAbove(ends[1]);
  return readEnd >= 0 && writeEnd >= 0;
}

void closeDescriptor(int& descriptor) {
  if (descriptor >= 0) close(descriptor);
  descriptor = -1;
}

std::string exitDescription(int status) {
  if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return std::string("killed by signal ") + std::to_string(WTERMSIG(status)) + " (" +
                                  strsignal(WTERMSIG(status)) + ")";
  return "status " + std::to_string(status);
}

} // namespace

bool programAvailable(const std::string& program) {
  if (program.find('/') != std::string::npos) return access(program.c_str(), X_OK) == 0;
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    const fs::path candidate = fs::path(dir.empty() ? "." : dir) / program;
    std::error_code error;
    if (fs::is_regular_file(candidate, error) && access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

FfmpegEncoder::FfmpegEncoder(fs::path output, VideoKind kind, std::string program)
    : output_(std::move(output)), partial_(partialName(output_)), kind_(kind), program_(std::move(program)) {}

FfmpegEncoder::~FfmpegEncoder() {
  if (child_ >= 0 || partialExists_) abandon();
}

std::string FfmpegEncoder::prepare() {
  if (!programAvailable(program_))
    return program_ + " is not installed (Debian: apt-get install ffmpeg); a directory (OUT/) records PNG frames "
                      "without it";
  // Made now, so that an output that cannot be created is known before the show starts.
  const int probe = open(partial_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (probe < 0) return "cannot create " + output_.string() + ": " + systemError(errno);
  close(probe);
  partialExists_ = true;
  return {};
}

std::vector<std::string> FfmpegEncoder::arguments(const CaptureFormat& f) const {
  std::vector<std::string> a = {program_, "-hide_banner", "-nostdin", "-nostats", "-loglevel", "error", "-y",
      "-f", "rawvideo", "-pixel_format", "bgr0",
      "-video_size", std::to_string(f.width) + "x" + std::to_string(f.height),
      "-framerate", std::to_string(f.framesPerSecond), "-thread_queue_size", std::to_string(InputQueuePackets),
      "-probesize", ProbeBytes, "-analyzeduration", "0", "-i", "pipe:" + std::to_string(VideoDescriptor),
      "-f", "s16le", "-sample_rate", std::to_string(f.audioRate), "-channels", std::to_string(f.audioChannels),
      "-thread_queue_size", std::to_string(InputQueuePackets), "-probesize", ProbeBytes, "-analyzeduration", "0",
      "-i", "pipe:" + std::to_string(SoundDescriptor),
      "-map", "0:v:0", "-map", "1:a:0"};
  if (kind_ == VideoKind::Mp4) {
    // BT.709 in TV range, said so in the stream: what players assume for video of any size.
    a.insert(a.end(), {"-vf", "scale=out_color_matrix=bt709:out_range=tv", "-c:v", "libx264", "-preset",
                       H264Preset, "-crf", H264Quality, "-pix_fmt", "yuv420p", "-colorspace", "bt709",
                       "-color_primaries", "bt709", "-color_trc", "bt709", "-color_range", "tv", "-c:a", "aac",
                       "-b:a", AacBitrate, "-movflags", "+faststart", "-f", "mp4"});
  } else {
    a.insert(a.end(), {"-c:v", "ffv1", "-level", "3", "-g", "1", "-slices", "4", "-slicecrc", "1", "-c:a",
                       "flac", "-f", "matroska"});
  }
  a.push_back(partial_.string());
  return a;
}

std::string FfmpegEncoder::begin(const CaptureFormat& format) {
  frameBytes_ = static_cast<std::size_t>(format.width) * format.height * BytesPerPixel;
  soundFrameBytes_ = std::size_t{format.audioChannels} * BytesPerSample;
  partialExists_ = true;
  return spawn(format);
}

std::string FfmpegEncoder::spawn(const CaptureFormat& format) {
  // A reader that has gone must show as a failed write, not end this process.
  signal(SIGPIPE, SIG_IGN);
  int videoRead = -1, videoWrite = -1, soundRead = -1, soundWrite = -1, logWrite = -1;
  if (!makePipe(videoRead, videoWrite) || !makePipe(soundRead, soundWrite) || !makePipe(logPipe_, logWrite)) {
    const int error = errno;
    for (int* end : {&videoRead, &videoWrite, &soundRead, &soundWrite, &logPipe_, &logWrite}) closeDescriptor(*end);
    return "cannot make pipes for ffmpeg: " + systemError(error);
  }
  fcntl(videoWrite, F_SETPIPE_SZ, PipeBytes);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&files, logWrite, STDERR_FILENO);
  posix_spawn_file_actions_adddup2(&files, videoRead, VideoDescriptor);
  posix_spawn_file_actions_adddup2(&files, soundRead, SoundDescriptor);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // Its own process group: Ctrl-C at the terminal reaches the recorder, which then ends
  // ffmpeg itself, rather than both at once.
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGINT);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
  const std::vector<std::string> args = arguments(format);
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const int spawned = posix_spawnp(&child_, program_.c_str(), &files, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&files);
  posix_spawnattr_destroy(&attributes);
  close(videoRead);
  close(soundRead);
  close(logWrite);
  if (spawned != 0) {
    child_ = -1;
    close(videoWrite);
    close(soundWrite);
    closeDescriptor(logPipe_);
    return "cannot run " + program_ + ": " + systemError(spawned);
  }
  const auto secondOfFrames = static_cast<std::size_t>(VideoQueueSeconds * format.framesPerSecond) * frameBytes_;
  // At the error log level, anything ffmpeg says is a failure.
  const auto failed = [this] {
    std::lock_guard<std::mutex> lock(mutex_);
    return !log_.empty();
  };
  video_.start(videoWrite,
               std::min(VideoQueueMostBytes, std::max(VideoQueueLeastFrames * frameBytes_, secondOfFrames)), failed);
  sound_.start(soundWrite, 0);
  logReader_ = std::thread(&FfmpegEncoder::readLog, this);
  return {};
}

std::string FfmpegEncoder::addFrame(const std::uint32_t* pixels) {
  if (child_ < 0) return "ffmpeg is not running";
  if (video_.push(reinterpret_cast<const std::uint8_t*>(pixels), frameBytes_).empty()) return {};
  return ffmpegEnded("stopped taking frames");
}

std::string FfmpegEncoder::addAudio(const std::int16_t* samples, std::uint64_t frames) {
  if (child_ < 0) return "ffmpeg is not running";
  if (sound_.push(reinterpret_cast<const std::uint8_t*>(samples), frames * soundFrameBytes_).empty()) return {};
  return ffmpegEnded("stopped taking sound");
}

void FfmpegEncoder::readLog() {
  char buffer[1024];
  for (;;) {
    const ssize_t got = read(logPipe_, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    std::lock_guard<std::mutex> lock(mutex_);
    log_.append(buffer, static_cast<std::size_t>(got));
    if (log_.size() > LogKeptBytes) log_.erase(0, log_.size() - LogKeptBytes);
  }
}

std::string FfmpegEncoder::lastLogLine() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::size_t end = log_.find_last_not_of("\r\n ");
  if (end == std::string::npos) return {};
  std::size_t start = log_.find_last_of("\r\n", end);
  return log_.substr(start == std::string::npos ? 0 : start + 1, end + 1 - (start == std::string::npos ? 0 : start + 1));
}

std::string FfmpegEncoder::reap(Ending ending) {
  int status = 0;
  bool reaped = false;
  if (ending == Ending::Failed && child_ > 0) {
    // It has stopped reading a pipe, most likely on its way out: let it say why.
    for (auto waited = std::chrono::milliseconds(0); waited < FailedExitGrace && !reaped;
         waited += FailedExitPoll) {
      reaped = waitpid(child_, &status, WNOHANG) == child_;
      if (!reaped) std::this_thread::sleep_for(FailedExitPoll);
    }
  }
  const bool killed = ending != Ending::Drain && child_ > 0 && !reaped;
  if (killed) ::kill(child_, SIGKILL); // ends any write it no longer reads
  video_.close(ending != Ending::Drain);
  sound_.close(ending != Ending::Drain);
  std::string result;
  if (child_ > 0) {
    while (!reaped && waitpid(child_, &status, 0) < 0 && errno == EINTR) {
    }
    if (killed && ending == Ending::Failed) {
      result = "it hung and was ended";
    } else if (!(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
      result = exitDescription(status);
    }
  }
  child_ = -1;
  if (logReader_.joinable()) logReader_.join();
  closeDescriptor(logPipe_);
  return result;
}

std::string FfmpegEncoder::ffmpegEnded(const std::string& what) {
  std::string ended = reap(Ending::Failed);
  std::string line = lastLogLine();
  std::string reason = "ffmpeg " + what + (ended.empty() ? "" : " (" + ended + ")");
  return line.empty() ? reason : reason + ": " + line;
}

std::string FfmpegEncoder::finish() {
  std::string error;
  const std::string videoError = video_.error(), soundError = sound_.error();
  if (!videoError.empty()) error = "ffmpeg stopped taking frames: " + videoError;
  if (!soundError.empty()) error = "ffmpeg stopped taking sound: " + soundError;
  std::string ended = reap(Ending::Drain);
  if (!ended.empty()) {
    std::string line = lastLogLine();
    error = "ffmpeg failed (" + ended + ")" + (line.empty() ? "" : ": " + line);
  }
  std::error_code renamed;
  if (error.empty()) fs::rename(partial_, output_, renamed);
  if (renamed) error = "cannot rename " + partial_.string() + " to " + output_.string() + ": " + renamed.message();
  if (!error.empty()) {
    abandon();
    return error;
  }
  partialExists_ = false;
  return {};
}

void FfmpegEncoder::abandon() {
  reap(Ending::Abandoned);
  if (partialExists_) {
    std::error_code error;
    fs::remove(partial_, error);
  }
  partialExists_ = false;
}

} // namespace port
