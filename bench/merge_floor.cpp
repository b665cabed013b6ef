// The floor for one velmar-cards merge: a minimal C++ program, built as
// velmar-cards is, that reads three small files (BASE OURS THEIRS) and
// writes one (THEIRS' bytes into OURS).

#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    std::string sides[3];
    for (int i = 0; i < 3; ++i) {
        std::ifstream in(argv[i + 1], std::ios::binary);
        if (!in)
            return 1;
        sides[i].assign(std::istreambuf_iterator<char>(in), {});
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << sides[2];
    return out ? 0 : 1;
}
