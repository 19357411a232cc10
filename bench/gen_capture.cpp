// Writes a PresentMon 1.x capture of COUNT frames (its usual 15 columns, the frame time in the
// 11th) for the replay benchmark. Deterministic. Calm: long steady stretches, slow now and then;
// flickery: slow and fast frames mixed, so the state changes every few frames.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

int main(int argc, char** argv)
{
    const bool flickery = argc == 4 && std::string(argv[3]) == "flickery";
    if (argc != 3 && !flickery) {
        std::fprintf(stderr, "usage: tarnwick-bench-capture FILE COUNT [flickery]\n");
        return 2;
    }
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const long count = std::atol(argv[2]);
    std::fputs("Application,ProcessID,SwapChainAddress,Runtime,SyncInterval,PresentFlags,"
               "AllowsTearing,PresentMode,Dropped,TimeInSeconds,MsBetweenPresents,"
               "MsBetweenDisplayChange,MsInPresentAPI,MsUntilRenderComplete,MsUntilDisplayed\n",
               out);
    std::mt19937 rng(7);
    std::normal_distribution<double> jitter(0.0, 2.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    double seconds = 10.0;
    for (long i = 0; i < count; ++i) {
        // Slow stretches now and then, so the governor has work to do.
        const double base = flickery               ? (unit(rng) < 0.3 ? 40.0 : 12.0)
                            : (i / 20000) % 4 == 3 ? 32.0
                                                   : 16.6;
        const double ms = base + jitter(rng) > 1.0 ? base + jitter(rng) : 1.0;
        seconds += ms / 1000.0;
        std::fprintf(out,
                     "Game.exe,9208,0x00000259DAE0BCF0,DXGI,0,0,0,Composed: Copy with GPU GDI,0,"
                     "%.6f,%.3f,16.728,1.334,4.919,14.347\n",
                     seconds, ms);
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
