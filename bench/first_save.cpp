// One step of a fresh process, timed inside it, for cardset_scale_bench:
//   first_save save FOLDER    the process's first Save (writeCard, durable)
//                             into FOLDER: its clean-up of leftovers included
//   first_save names FOLDER   reading every name of FOLDER once
// Prints the seconds it took; exits 1 when it failed.

#include "bench_support.h"

#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 1;
    const std::string what = argv[1], folder = argv[2];
    const Card card = bench::fullCard();
    const auto start = std::chrono::steady_clock::now();
    if (what == "save") {
        if (writeCard(cardFilePath(folder, "save"), card))
            return 1;
    } else {
        DIR* dir = ::opendir(folder.c_str());
        if (!dir)
            return 1;
        std::size_t names = 0;
        while (::readdir(dir))
            ++names;
        ::closedir(dir);
        if (names == 0)
            return 1;
    }
    std::printf("%.9f\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return 0;
}
