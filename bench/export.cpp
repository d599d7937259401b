// `pemblorctl recording export` against `ffmpeg -f h264 -i RAW -c copy OUT.mkv`
// of the same payload, each as a whole process, in the same run: wall time,
// processor time (user and system) and peak memory of the child.
//
// The input is a 20-minute main stream as the card records it: 352 x 288,
// 25 pictures/s, an IDR picture a second, no B pictures, about 840 kbit/s
// (30,000 pictures, some 126 MB), a marked block before each IDR picture. A
// second stream has B pyramids, where export also finds each picture's
// showing time; ffmpeg copies that one into MP4 only (its Matroska writer
// refuses the packets without timestamps), so both write MP4 there. The streams
// are a 10-second encoding repeated, made once per run in
// $PEMBLOR_BENCH_DIR, else /dev/shm, else the temporary folder. Export
// flushes its output to the disk before it renames it over OUT (ffmpeg does
// not): on a disk that flush is part of the time, in /dev/shm it costs
// nothing, so /dev/shm compares the work done.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
}

#include "bench_support.hpp"
#include "capture/recording_header.hpp"
#include "driver/little_endian.hpp"
#include "recording/access_units.hpp"

extern char** environ;

namespace {

using namespace pemblor;

constexpr int kLoopPictures = 250;
constexpr int kRepeats = 120;  // 30,000 pictures

std::filesystem::path folder() {
    static const std::filesystem::path dir = [] {
        const char* env = std::getenv("PEMBLOR_BENCH_DIR");
        const std::filesystem::path base = env                                     ? env
                                           : std::filesystem::is_directory("/dev/shm") ? "/dev/shm"
                                                                                 : std::filesystem::temp_directory_path();
        const auto p = base / ("pemblor-bench-export-" + std::to_string(::getpid()));
        std::filesystem::create_directories(p);
        return p;
    }();
    return dir;
}

// kLoopPictures pictures of moving bands and grain through libx264.
std::vector<std::uint8_t> encodeLoop(const std::string& params) {
    std::vector<std::uint8_t> out;
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    AVCodecContext* c = avcodec_alloc_context3(codec);
    AVFrame* f = av_frame_alloc();
    AVPacket* p = av_packet_alloc();
    c->width = 352;
    c->height = 288;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = {1, 25};
    c->framerate = {25, 1};
    c->bit_rate = 840000;
    av_opt_set(c->priv_data, "preset", "veryfast", 0);
    av_opt_set(c->priv_data, "x264-params", params.c_str(), 0);
    av_log_set_level(AV_LOG_ERROR);
    f->format = c->pix_fmt;
    f->width = c->width;
    f->height = c->height;
    if (avcodec_open2(c, codec, nullptr) < 0 || av_frame_get_buffer(f, 0) < 0) std::abort();
    const auto drain = [&] {
        while (avcodec_receive_packet(c, p) == 0) {
            out.insert(out.end(), p->data, p->data + p->size);
            av_packet_unref(p);
        }
    };
    std::uint32_t grain = 1;
    for (int n = 0; n < kLoopPictures; ++n) {
        av_frame_make_writable(f);
        for (int plane = 0; plane < 3; ++plane) {
            const int w = plane ? 176 : 352, h = plane ? 144 : 288;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    grain = grain * 1103515245u + 12345u;
                    f->data[plane][y * f->linesize[plane] + x] =
                        static_cast<std::uint8_t>(plane ? 128 + (x + n) % 32 : 16 + (x + y + 3 * n) % 200 + (grain >> 29));
                }
        }
        f->pts = n;
        avcodec_send_frame(c, f);
        drain();
    }
    avcodec_send_frame(c, nullptr);
    drain();
    av_packet_free(&p);
    av_frame_free(&f);
    avcodec_free_context(&c);
    return out;
}

struct Inputs {
    std::filesystem::path raw, recording;
    std::uint64_t bytes = 0;
};

// The raw stream for ffmpeg, and the same payload as a recording file: its
// header, then each access unit, a marked block before each IDR picture.
Inputs makeInputs(const std::string& name, const std::string& params) {
    Inputs in{folder() / (name + ".264"), folder() / ("EVDATA-" + name + ".264")};
    const std::vector<std::uint8_t> loop = encodeLoop(params);
    std::vector<std::uint8_t> recorded;
    recording::AccessUnitSplitter units([&](recording::AccessUnit& u) {
        if (u.idr) {
            std::uint8_t marked[16] = {};
            driver::storeU32(marked, 0, 0xF0010000);
            recorded.insert(recorded.end(), marked, marked + 16);
        }
        recorded.insert(recorded.end(), u.bytes.begin(), u.bytes.end());
    });
    units.push(loop);
    units.finish();
    std::ofstream raw(in.raw, std::ios::binary), rec(in.recording, std::ios::binary);
    const auto header = capture::RecordingHeader{capture::packLocalTime(ui::systemLocalTime())}.bytes();
    rec.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
    for (int i = 0; i < kRepeats; ++i) {
        raw.write(reinterpret_cast<const char*>(loop.data()), static_cast<std::streamsize>(loop.size()));
        rec.write(reinterpret_cast<const char*>(recorded.data()), static_cast<std::streamsize>(recorded.size()));
    }
    in.bytes = loop.size() * kRepeats;
    return in;
}

const Inputs& inputs(const std::string& name) {
    static std::map<std::string, Inputs> made;
    if (!made.count(name)) {
        made[name] = makeInputs(name, name == "main" ? "keyint=25:min-keyint=25:scenecut=0:bframes=0"
                                                     : "keyint=25:min-keyint=25:scenecut=0:bframes=3:b-adapt=0:b-pyramid=normal");
    }
    return made.at(name);
}

struct Sample {
    double wall = 0, cpu = 0, peakMiB = 0;
};
std::map<std::string, std::vector<Sample>>& samples() {
    static std::map<std::string, std::vector<Sample>> s;
    return s;
}

// Runs the command as a child process; its wall time, processor time and peak memory.
Sample runChild(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) std::abort();
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", args[0].c_str());
        std::abort();
    }
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
    return {wall, seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_maxrss / 1024.0};
}

void timeCommand(benchmark::State& state, const std::string& label, const std::string& stream, bool ours) {
    const Inputs& in = inputs(stream);
    const std::string out = (folder() / (label + (stream == "main" ? ".mkv" : ".mp4"))).string();
    std::vector<std::string> args =
        ours ? std::vector<std::string>{PEMBLORCTL_PATH, "recording", "export", in.recording.string(), out}
             : std::vector<std::string>{"ffmpeg", "-y", "-loglevel", "error", "-f", "h264", "-i", in.raw.string(),
                                        "-c", "copy", out};
    for (auto _ : state) {
        const Sample s = runChild(args);
        state.SetIterationTime(s.wall);
        samples()[label].push_back(s);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * in.bytes));
}

void BM_ExportMainStream(benchmark::State& s) { timeCommand(s, "export, main stream", "main", true); }
void BM_FfmpegMainStream(benchmark::State& s) { timeCommand(s, "ffmpeg, main stream", "main", false); }
void BM_ExportBPyramid(benchmark::State& s) { timeCommand(s, "export, B pyramid (MP4)", "bpyramid", true); }
void BM_FfmpegBPyramid(benchmark::State& s) { timeCommand(s, "ffmpeg, B pyramid (MP4)", "bpyramid", false); }

BENCHMARK(BM_ExportMainStream)->UseManualTime()->Iterations(7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FfmpegMainStream)->UseManualTime()->Iterations(7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportBPyramid)->UseManualTime()->Iterations(7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FfmpegBPyramid)->UseManualTime()->Iterations(7)->Unit(benchmark::kMillisecond);

Sample medianOf(const std::vector<Sample>& v) {
    std::vector<double> wall, cpu, peak;
    for (const Sample& s : v) wall.push_back(s.wall), cpu.push_back(s.cpu), peak.push_back(s.peakMiB);
    return {bench::median(wall), bench::median(cpu), bench::median(peak)};
}

void printSummary() {
    std::printf("\n%s; files in %s\n", bench::processorName().c_str(), folder().c_str());
    std::printf("Median of each command, whole process:    wall s    CPU s   peak MiB\n");
    for (const auto& [label, v] : samples()) {
        const Sample m = medianOf(v);
        std::printf("  %-38s %7.3f  %7.3f  %7.1f\n", label.c_str(), m.wall, m.cpu, m.peakMiB);
    }
    const auto ratio = [&](const char* a, const char* b) {
        if (!samples().count(a) || !samples().count(b)) return;
        const Sample x = medianOf(samples().at(a)), y = medianOf(samples().at(b));
        std::printf("  %s / %s: %.2f of the wall time, %.2f of the CPU time\n", a, b, x.wall / y.wall, x.cpu / y.cpu);
    };
    std::printf("Ratios (goal for the main stream: at most 0.8):\n");
    ratio("export, main stream", "ffmpeg, main stream");
    ratio("export, B pyramid (MP4)", "ffmpeg, B pyramid (MP4)");
    std::filesystem::remove_all(folder());
}

}  // namespace

int main(int argc, char** argv) { return pemblor::bench::runThenSummarize(argc, argv, printSummary); }
