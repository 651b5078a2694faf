// wsqtool: WSQ compression of grey images from the command line.
//   wsqtool encode IN.pgm|IN.bmp OUT.wsq [--bitrate R] [--ppi N]
//   wsqtool decode IN.wsq OUT.pgm|OUT.bmp
//   wsqtool info IN.wsq

#include "platform/bmp/Bmp.h"
#include "platform/wsq/Wsq.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using tav::bmp::GreyImage;

int usage()
{
    std::fputs("uso: wsqtool encode ENTRADA.pgm|ENTRADA.bmp SALIDA.wsq [--bitrate R] [--ppi N]\n"
               "     wsqtool decode ENTRADA.wsq SALIDA.pgm|SALIDA.bmp\n"
               "     wsqtool info ENTRADA.wsq\n",
               stderr);
    return 2;
}

std::string extension(const std::string &file)
{
    std::string ext = std::filesystem::path(file).extension().string();
    for (char &c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

// Binary PGM (P5), 8 bits.
GreyImage readPgm(const std::string &file)
{
    const std::vector<std::uint8_t> data = tav::bmp::readFile(file);
    std::size_t pos = 0;
    auto token = [&]() {
        std::string t;
        while (pos < data.size()) {
            const char c = static_cast<char>(data[pos]);
            if (c == '#') {
                while (pos < data.size() && data[pos] != '\n')
                    ++pos;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                if (!t.empty())
                    break;
                ++pos;
            } else {
                t += c;
                ++pos;
            }
        }
        return t;
    };
    if (token() != "P5")
        throw std::runtime_error(file + ": no es un PGM binario (P5)");
    const long w = std::strtol(token().c_str(), nullptr, 10);
    const long h = std::strtol(token().c_str(), nullptr, 10);
    const long maxval = std::strtol(token().c_str(), nullptr, 10);
    ++pos; // the single whitespace after the header
    if (w < 1 || h < 1 || w > 65535 || h > 65535 || maxval != 255)
        throw std::runtime_error(file + ": PGM no soportado (se esperan 8 bits)");
    const std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    if (pos > data.size() || data.size() - pos < n)
        throw std::runtime_error(file + ": PGM incompleto");
    GreyImage img;
    img.width = static_cast<int>(w);
    img.height = static_cast<int>(h);
    img.pixels.assign(data.begin() + static_cast<std::ptrdiff_t>(pos),
                      data.begin() + static_cast<std::ptrdiff_t>(pos + n));
    return img;
}

void writePgm(const std::string &file, const GreyImage &img)
{
    const std::string head = "P5\n" + std::to_string(img.width) + " " + std::to_string(img.height) + "\n255\n";
    std::vector<std::uint8_t> out(head.begin(), head.end());
    out.insert(out.end(), img.pixels.begin(), img.pixels.end());
    tav::bmp::writeFile(file, out);
}

int encode(int argc, char **argv)
{
    if (argc < 4)
        return usage();
    tav::wsq::EncodeOptions options;
    bool ppiGiven = false;
    for (int i = 4; i < argc; ++i) {
        const std::string a = argv[i];
        if ((a == "--bitrate" || a == "--ppi") && i + 1 < argc) {
            char *end = nullptr;
            const double v = std::strtod(argv[++i], &end);
            if (end == argv[i] || *end != '\0' || !(v > 0)) {
                std::fprintf(stderr, "wsqtool: valor inválido para %s: %s\n", a.c_str(), argv[i]);
                return 2;
            }
            if (a == "--bitrate")
                options.bitRate = v;
            else {
                options.ppi = static_cast<int>(v);
                ppiGiven = true;
            }
        } else {
            return usage();
        }
    }
    const std::string in = argv[2];
    const GreyImage img = extension(in) == ".pgm" ? readPgm(in) : tav::bmp::load(in);
    if (img.ppi > 0 && !ppiGiven)
        options.ppi = img.ppi;
    const std::vector<std::uint8_t> wsq = tav::wsq::encode(img.pixels, img.width, img.height, options);
    tav::bmp::writeFile(argv[3], wsq);
    return 0;
}

int decode(int argc, char **argv)
{
    if (argc != 4)
        return usage();
    const std::vector<std::uint8_t> data = tav::bmp::readFile(argv[2]);
    const tav::wsq::DecodedImage d = tav::wsq::decode(data);
    GreyImage img;
    img.width = d.width;
    img.height = d.height;
    img.ppi = d.ppi > 0 ? d.ppi : 0;
    img.pixels = d.pixels;
    const std::string out = argv[3];
    if (extension(out) == ".bmp")
        tav::bmp::saveGrey(out, img);
    else
        writePgm(out, img);
    return 0;
}

int info(int argc, char **argv)
{
    if (argc != 3)
        return usage();
    const std::vector<std::uint8_t> data = tav::bmp::readFile(argv[2]);
    bool ok = false;
    const std::string text = tav::wsq::describe(data, &ok);
    std::fputs(text.c_str(), ok ? stdout : stderr);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    try {
        if (command == "encode")
            return encode(argc, argv);
        if (command == "decode")
            return decode(argc, argv);
        if (command == "info")
            return info(argc, argv);
        return usage();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "wsqtool: %s\n", e.what());
        return 1;
    }
}
