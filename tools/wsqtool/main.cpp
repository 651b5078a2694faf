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
#include <fcntl.h>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
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

// An input file mapped read-only with its pages mapped in one go: a conversion is short, and taking a
// fault for each page of the input (and copying it) cost more than the codec itself.
class InputFile
{
public:
    explicit InputFile(const std::string &file)
    {
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            throw std::runtime_error("No se puede abrir el archivo " + file);
        struct stat st
        {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
            m_length = static_cast<std::size_t>(st.st_size);
            void *map = ::mmap(nullptr, m_length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
            if (map != MAP_FAILED)
                m_map = map;
        }
        ::close(fd);
        if (!m_map) {
            m_length = 0;
            m_copy = tav::bmp::readFile(file); // not a plain file, or mapping refused
        }
    }
    ~InputFile()
    {
        if (m_map)
            ::munmap(m_map, m_length);
    }
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;

    std::span<const std::uint8_t> bytes() const
    {
        if (m_map)
            return {static_cast<const std::uint8_t *>(m_map), m_length};
        return m_copy;
    }

private:
    void *m_map = nullptr;
    std::size_t m_length = 0;
    std::vector<std::uint8_t> m_copy;
};

struct PgmView
{
    int width = 0;
    int height = 0;
    std::span<const std::uint8_t> pixels;
};

// Binary PGM (P5), 8 bits.
PgmView parsePgm(const std::string &file, std::span<const std::uint8_t> data)
{
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
    return {static_cast<int>(w), static_cast<int>(h), data.subspan(pos, n)};
}

void writePgm(const std::string &file, const GreyImage &img)
{
    const std::string head = "P5\n" + std::to_string(img.width) + " " + std::to_string(img.height) + "\n255\n";
    const std::span<const std::uint8_t> headBytes(reinterpret_cast<const std::uint8_t *>(head.data()), head.size());
    tav::bmp::writeFile(file, {headBytes, img.pixels});
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
    std::vector<std::uint8_t> wsq;
    if (extension(in) == ".pgm") {
        const InputFile file(in);
        const PgmView pgm = parsePgm(in, file.bytes());
        wsq = tav::wsq::encode(pgm.pixels, pgm.width, pgm.height, options);
    } else {
        const GreyImage img = tav::bmp::load(in);
        if (img.ppi > 0 && !ppiGiven)
            options.ppi = img.ppi;
        wsq = tav::wsq::encode(img.pixels, img.width, img.height, options);
    }
    tav::bmp::writeFile(argv[3], wsq);
    return 0;
}

int decode(int argc, char **argv)
{
    if (argc != 4)
        return usage();
    tav::wsq::DecodedImage d = tav::wsq::decode(InputFile(argv[2]).bytes());
    GreyImage img;
    img.width = d.width;
    img.height = d.height;
    img.ppi = d.ppi > 0 ? d.ppi : 0;
    img.pixels = std::move(d.pixels);
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
    bool ok = false;
    const std::string text = tav::wsq::describe(InputFile(argv[2]).bytes(), &ok);
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
