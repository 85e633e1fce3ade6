// bench_bare_client: the bare client of the batch purge benchmark as a
// console program of its own, with no window, in a single-threaded apartment
// (CoInitializeEx, COINIT_APARTMENTTHREADED, no message filter): the COM
// round trips of the run's host calls with nothing else going on in the
// process. bench_batch_purge starts it beside the run; by hand:
//
//   bench_bare_client DRAWINGS FOLDER [--hidden]
//
// works on FOLDER\d00000.dwg ... (stand-in drawings that must exist) and
// prints its figures, and last one line that bench_batch_purge reads
// (ResultLine). With --hidden the host is not made visible. It uses the project's automation layer,
// as the run does: GetIDsOfNames + Invoke for every call, through the same timing wrapper as the
// run in the benchmark, so that the two differ only in what happens around the calls. The layer's
// own work per call (a name copied, the arguments converted) is microseconds against the
// milliseconds of a round trip.
#include "BareClient.h"
#include "BenchDrawings.h"

#include "platform/Dispatch.h"

#include <objbase.h>

#include <cstdio>
#include <cwchar>

using namespace varno;
using namespace varno::bench;

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_bare_client DRAWINGS FOLDER [--hidden]\n");
        return 2;
    }
    const int drawings = std::max(1, _wtoi(argv[1]));
    const std::wstring folder = argv[2];
    const bool hidden = argc > 3 && std::wstring_view(argv[3]) == L"--hidden";
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        std::fprintf(stderr, "bench_bare_client: no single-threaded apartment\n");
        return 2;
    }
    int code = 0;
    {
        win::ComAutomation automation;
        const BareResult r = RunBareClient(automation, DrawingPaths(folder, drawings), !hidden);
        if (!r.failure.empty()) {
            std::fwprintf(stderr, L"bench_bare_client: %ls\n", r.failure.c_str());
            code = 1;
        } else {
            const long all = r.host.calls + r.host.releases;
            std::printf("bare client            %d drawings, %.3f ms per drawing\n", r.drawings,
                        Ms(r.loop) / r.drawings);
            std::printf("host calls             %.1f + %.1f releases per drawing, %.3f ms each\n",
                        static_cast<double>(r.host.calls) / r.drawings,
                        static_cast<double>(r.host.releases) / r.drawings,
                        all ? Ms(r.host.inside) / all : 0.0);
        }
        std::printf("%s\n", ResultLine(r).c_str());
        std::fflush(stdout);
    }
    CoUninitialize();
    return code;
}
