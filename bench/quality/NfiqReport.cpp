// Agreement of our NFIQ rating with NIST's own software on NIST's reference finger images: for each
// image our features and level beside NIST's, then the confusion table of levels and the differences
// feature by feature.
//   nfiq_report [FIXTURES_DIR] [--breakdown]   (default: the shared fixtures' nfiq folder; reads
//   features.tsv there). --breakdown adds, per image, our minutiae by block quality and by type, and how
//   many lie in blocks of low flow or high curvature.

#include "FingerImageFile.h"

#include "platform/quality/Nfiq.h"
#include "platform/quality/NfiqFeatures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Reference
{
    std::string name;
    bool hasFeatures = false;
    tav::quality::Features features{};
    int level = 0;
};

std::vector<Reference> readReference(const std::string &file)
{
    std::vector<Reference> refs;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::vector<std::string> cols;
        std::string c;
        while (std::getline(fields, c, '\t'))
            cols.push_back(c);
        if (cols.size() < 16)
            continue;
        Reference r;
        r.name = cols[0];
        r.hasFeatures = cols[3] != "-";
        for (std::size_t i = 0; i < 11 && r.hasFeatures; ++i)
            r.features[i] = std::stod(cols[3 + i]);
        r.level = std::stoi(cols[14]);
        refs.push_back(r);
    }
    return refs;
}

const char *const kNames[11] = {"fg", "min", ">.5", ">.6", ">.7", ">.8", ">.9", "q1", "q2", "q3", "q4"};

void printBreakdown(const tav::bmp::GreyImage &img)
{
    const tav::quality::Analysis a = tav::quality::analyse(img.pixels, img.width, img.height);
    const tav::quality::PixelMaps pm{a.maps, img.width, img.height};
    std::array<int, 5> byQuality{};
    int endings = 0, bifurcations = 0, troubled = 0;
    for (const tav::quality::Minutia &m : a.minutiae) {
        const std::size_t b = pm.block(m.x, m.y);
        ++byQuality[std::min<std::size_t>(a.quality[b], 4)];
        (m.bifurcation ? bifurcations : endings) += 1;
        troubled += a.maps.lowFlow[b] || a.maps.highCurvature[b];
    }
    std::printf("           by quality 0..4: %d %d %d %d %d; endings %d, bifurcations %d; in low flow or high "
                "curvature %d\n",
                byQuality[0], byQuality[1], byQuality[2], byQuality[3], byQuality[4], endings, bifurcations, troubled);
}

} // namespace

int main(int argc, char **argv)
{
    std::string dir = std::string(TAV_FIXTURES_DIR) + "/nfiq";
    bool breakdown = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--breakdown")
            breakdown = true;
        else
            dir = argv[i];
    }
    const std::vector<Reference> refs = readReference(dir + "/features.tsv");
    if (refs.empty()) {
        std::fprintf(stderr, "No se encuentra %s/features.tsv\n", dir.c_str());
        return 1;
    }
    std::array<std::array<int, 5>, 5> confusion{};
    int same = 0, twoApart = 0;
    std::array<double, 11> sumAbsRel{};
    int withFeatures = 0, fgWithin2 = 0, minWithin10 = 0;
    // For each feature, on how many images putting our value alone in NIST's features changes NIST's level.
    std::array<int, 11> flips{};
    // ...and on how many of the disagreeing images taking NIST's value for this feature alone would agree.
    std::array<int, 11> fixes{};
    std::printf("%-10s %5s %5s  ", "image", "NIST", "ours");
    for (const char *n : kNames)
        std::printf("%14s ", n);
    std::printf("\n");
    for (const Reference &ref : refs) {
        const tav::bmp::GreyImage img = tav::fingertool::loadGreyImage(dir + "/" + ref.name + ".png");
        const tav::quality::Rating r = tav::quality::rate(img.pixels, img.width, img.height);
        ++confusion[static_cast<std::size_t>(ref.level - 1)][static_cast<std::size_t>(r.level - 1)];
        same += r.level == ref.level;
        twoApart += std::abs(r.level - ref.level) >= 2;
        std::printf("%-10s %5d %4d%s  ", ref.name.c_str(), ref.level, r.level, r.status ? "*" : " ");
        for (std::size_t i = 0; i < 11; ++i) {
            char ours[16], theirs[16];
            if (i < 7) {
                std::snprintf(ours, sizeof ours, "%d", static_cast<int>(r.features[i]));
                std::snprintf(theirs, sizeof theirs, "%d", static_cast<int>(ref.features[i]));
            } else {
                std::snprintf(ours, sizeof ours, "%.3f", r.features[i]);
                std::snprintf(theirs, sizeof theirs, "%.3f", ref.features[i]);
            }
            std::printf("%6s/%-7s ", ours, ref.hasFeatures ? theirs : "-");
        }
        std::printf("\n");
        if (breakdown)
            printBreakdown(img);
        if (!ref.hasFeatures)
            continue;
        ++withFeatures;
        for (std::size_t i = 0; i < 11; ++i) {
            const double denom = std::max(1e-9, std::abs(ref.features[i]));
            sumAbsRel[i] += std::abs(r.features[i] - ref.features[i]) / (i < 7 ? std::max(1.0, denom) : 1.0);
        }
        for (std::size_t i = 0; i < 11; ++i) {
            tav::quality::Features mixed = ref.features;
            mixed[i] = r.features[i];
            flips[i] += tav::quality::classify(mixed).level != ref.level;
            tav::quality::Features mended = r.features;
            mended[i] = ref.features[i];
            fixes[i] += r.level != ref.level && tav::quality::classify(mended).level == ref.level;
        }
        fgWithin2 += std::abs(r.features[0] - ref.features[0]) <= 0.02 * ref.features[0];
        minWithin10 += std::abs(r.features[1] - ref.features[1]) <= 0.10 * ref.features[1];
    }
    std::printf("\nConfusion (rows NIST level 1..5, columns our level 1..5):\n");
    for (std::size_t i = 0; i < 5; ++i) {
        std::printf("  NIST %zu:", i + 1);
        for (std::size_t j = 0; j < 5; ++j)
            std::printf(" %3d", confusion[i][j]);
        std::printf("\n");
    }
    std::printf("Same level: %d of %zu; two or more levels apart: %d\n", same, refs.size(), twoApart);
    std::printf("Foreground within 2%%: %d of %d; minutiae within 10%%: %d of %d\n", fgWithin2, withFeatures,
                minWithin10, withFeatures);
    std::printf("Mean difference per feature (counts: relative; fractions: absolute):\n ");
    for (std::size_t i = 0; i < 11; ++i)
        std::printf(" %s %.3f", kNames[i], sumAbsRel[i] / std::max(1, withFeatures));
    std::printf("\n");
    std::printf("Images whose NIST level changes when only this feature takes our value:\n ");
    for (std::size_t i = 0; i < 11; ++i)
        std::printf(" %s %d", kNames[i], flips[i]);
    std::printf("\nDisagreeing images that NIST's value of this feature alone would bring to NIST's level:\n ");
    for (std::size_t i = 0; i < 11; ++i)
        std::printf(" %s %d", kNames[i], fixes[i]);
    std::printf("\n");
    return 0;
}
