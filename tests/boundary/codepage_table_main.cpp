// Writes this build's code-page table (see codepage_table.h) to the file named
// on the command line, for the test of another platform's build to check.
#include "codepage_table.h"

#include <fstream>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: priv_codepage_table OUTPUT_FILE\n";
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary);
    priv::test::WriteCodePageTable(out, priv::test::BuildCodePageTable());
    out.close();
    if (!out) {
        std::cerr << "cannot write " << argv[1] << '\n';
        return 1;
    }
    return 0;
}
