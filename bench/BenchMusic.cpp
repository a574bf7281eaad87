// Music benchmarks, a bench program because they run in real time:
//   - the position clock against the steady clock over 10 s of playback on the null output: the
//     slope of a least-squares fit (1 is real time) and the worst deviation from that line;
//   - the processor time one playing music costs, as a share of one core, measured against the
//     same run with no music playing.
#include "music/TaAudioMixer.h"
#include "music/TaMusic.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double processSeconds()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Processor seconds spent per wall second while `musics` musics play for `seconds`.
double cpuShare(int musics, double seconds, const std::string& file)
{
    taCreateMusicTable("null");
    for (int id = 0; id < musics; ++id) {
        LoadMusic(file.c_str(), id);
        PlayMusic(id);
    }
    const double cpu0 = processSeconds();
    const auto wall0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double cpu = processSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    taFreeMusicTable();
    return cpu / wall;
}

} // namespace

int main()
{
    const std::string dir = TARV_TEST_MUSIC_DIR;
    const std::string file = dir + "/long48.mp3";

    // 1. The position clock.
    if (taCreateMusicTable("null") != 0 || LoadMusic(file.c_str(), 0) != 0) {
        fprintf(stderr, "bench: cannot load %s\n", file.c_str());
        return 1;
    }
    PlayMusic(0);
    const auto start = Clock::now();
    std::vector<double> t, p;
    int backwards = 0, last = -1;
    while (Clock::now() - start < std::chrono::seconds(10)) {
        const int position = GetMusicPosition(0);
        const double elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        t.push_back(elapsed);
        p.push_back(position);
        backwards += position < last;
        last = position;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    taFreeMusicTable();
    const double n = double(t.size());
    double st = 0, sp = 0, stt = 0, stp = 0;
    for (size_t i = 0; i < t.size(); ++i)
        st += t[i], sp += p[i], stt += t[i] * t[i], stp += t[i] * p[i];
    const double slope = (n * stp - st * sp) / (n * stt - st * st);
    const double intercept = (sp - slope * st) / n;
    double worst = 0, worstSteady = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        worst = std::max(worst, std::fabs(p[i] - (slope * t[i] + intercept)));
        worstSteady = std::max(worstSteady, std::fabs(p[i] - t[i] - (p[0] - t[0])));
    }
    printf("position clock over 10 s on the null output (%zu readings):\n", t.size());
    printf("  slope against the steady clock: %.6f (1 is real time)\n", slope);
    printf("  worst deviation from the fitted line: %.2f ms\n", worst);
    printf("  worst deviation from the steady clock (first reading aligned): %.2f ms\n", worstSteady);
    printf("  readings that went backwards: %d\n", backwards);

    // 2. Processor time per playing music, side by side with no music.
    const double idle = cpuShare(0, 3.0, file);
    const double ten = cpuShare(10, 3.0, file);
    printf("processor time per playing music: %.3f %% of a core (10 musics %.3f %%, none %.3f %%)\n",
           (ten - idle) / 10 * 100, ten * 100, idle * 100);
    return 0;
}
