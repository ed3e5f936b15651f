// Leaks on purpose, and the sanitized run passes only if LeakSanitizer reports it.
#include <cstdio>
#include <cstdlib>

void* volatile lost; // volatile, so that the allocation is not left out

int main() {
    std::fputs(
        "leak_canary: a leak on purpose; if LeakSanitizer reports none below, leak detection "
        "does not run on this machine and the sanitized tests cannot find leaks\n",
        stderr);
    lost = std::malloc(64);
    lost = nullptr;
}
