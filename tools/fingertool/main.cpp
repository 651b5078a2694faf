// fingertool: finger-image checks from the command line.
//   fingertool quality FILE... [--features]
// prints one line per file: the file name, a tab, the NFIQ level (1 best .. 5 worst), a tab, the
// rating's status (0 valid, 1 empty image, 2 too few minutiae, -3 image too large), and with --features
// a tab and the eleven NFIQ features separated by tabs. Files may be PGM, PNG, BMP or WSQ, at 500 ppi.

#include "FingerImageFile.h"

#include "platform/quality/Nfiq.h"
#include "platform/quality/NfiqFeatures.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace {

int usage()
{
    std::fputs("uso: fingertool quality ARCHIVO... [--features]\n"
               "     (PGM, PNG, BMP o WSQ a 500 ppi; imprime: archivo, nivel NFIQ, estado [, las once "
               "características])\n",
               stderr);
    return 2;
}

std::string formatFeatures(const tav::quality::Features &f)
{
    std::string out;
    char buf[32];
    for (std::size_t i = 0; i < f.size(); ++i) {
        if (i < 7)
            std::snprintf(buf, sizeof buf, "\t%d", static_cast<int>(f[i]));
        else
            std::snprintf(buf, sizeof buf, "\t%.6f", f[i]);
        out += buf;
    }
    return out;
}

int quality(const std::vector<std::string> &files, bool features)
{
    int failures = 0;
    for (const std::string &file : files) {
        try {
            const tav::bmp::GreyImage img = tav::fingertool::loadGreyImage(file);
            const tav::quality::Rating r = tav::quality::rate(img.pixels, img.width, img.height);
            std::string line = file + "\t" + std::to_string(r.level) + "\t" + std::to_string(r.status);
            if (features)
                line += formatFeatures(r.features);
            line += '\n';
            std::fputs(line.c_str(), stdout);
        } catch (const std::exception &e) {
            std::fprintf(stderr, "%s: %s\n", file.c_str(), e.what());
            ++failures;
        }
    }
    return failures ? 1 : 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3 || std::strcmp(argv[1], "quality") != 0)
        return usage();
    std::vector<std::string> files;
    bool features = false;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--features") == 0)
            features = true;
        else
            files.emplace_back(argv[i]);
    }
    if (files.empty())
        return usage();
    return quality(files, features);
}
