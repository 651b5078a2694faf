#include "platform/zip/ZipArchive.h"

#include <zip.h>

#include <fstream>
#include <memory>

namespace tav::zip {

namespace {

// A single member larger than this is refused (a finger file is a few tens of kilobytes).
constexpr zip_uint64_t kMaxMemberSize = zip_uint64_t{1} << 30;

struct ArchiveCloser
{
    void operator()(zip_t *z) const { zip_discard(z); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

struct FileCloser
{
    void operator()(zip_file_t *f) const { zip_fclose(f); }
};

std::string errorText(int code)
{
    zip_error_t e;
    zip_error_init_with_code(&e, code);
    std::string text = zip_error_strerror(&e);
    zip_error_fini(&e);
    return text;
}

Archive openForReading(const std::filesystem::path &archive)
{
    int code = 0;
    zip_t *z = zip_open(archive.c_str(), ZIP_RDONLY, &code);
    if (!z)
        throw ZipError("No se puede abrir el archivo zip " + archive.string() + ": " + errorText(code));
    return Archive(z);
}

} // namespace

bool isSafeMemberName(const std::string &name)
{
    if (name.empty() || name.front() == '/' || name.front() == '\\' || name.find('\\') != std::string::npos ||
        name.find('\0') != std::string::npos)
        return false;
    if (name.size() >= 2 && name[1] == ':')
        return false; // a drive letter
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t end = std::min(name.find('/', start), name.size());
        if (name.compare(start, end - start, "..") == 0)
            return false;
        start = end + 1;
    }
    return true;
}

void createFlat(const std::filesystem::path &archive, const std::vector<std::filesystem::path> &files)
{
    int code = 0;
    zip_t *raw = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!raw)
        throw ZipError("No se puede crear el archivo zip " + archive.string() + ": " + errorText(code));
    Archive z(raw);
    for (const std::filesystem::path &file : files) {
        zip_source_t *src = zip_source_file(z.get(), file.c_str(), 0, -1);
        if (!src)
            throw ZipError("No se puede leer " + file.string() + ": " + zip_strerror(z.get()));
        const std::string name = file.filename().string();
        if (zip_file_add(z.get(), name.c_str(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(src);
            throw ZipError("No se puede agregar " + name + " al zip: " + zip_strerror(z.get()));
        }
    }
    if (zip_close(z.get()) != 0)
        throw ZipError("No se pudo escribir el archivo zip " + archive.string() + ": " + zip_strerror(z.get()));
    (void)z.release();
}

std::vector<std::string> list(const std::filesystem::path &archive)
{
    Archive z = openForReading(archive);
    std::vector<std::string> names;
    const zip_int64_t n = zip_get_num_entries(z.get(), 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        const char *name = zip_get_name(z.get(), static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        names.emplace_back(name ? name : "");
    }
    return names;
}

std::vector<std::string> extractAll(const std::filesystem::path &archive, const std::filesystem::path &destination)
{
    Archive z = openForReading(archive);
    const zip_int64_t n = zip_get_num_entries(z.get(), 0);
    std::vector<std::string> names;
    for (zip_int64_t i = 0; i < n; ++i) {
        const char *name = zip_get_name(z.get(), static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        if (!name || !isSafeMemberName(name))
            throw ZipError(std::string("El zip contiene una ruta no permitida: ") + (name ? name : "(sin nombre)"));
        names.emplace_back(name);
    }
    for (zip_int64_t i = 0; i < n; ++i) {
        const std::string &name = names[static_cast<std::size_t>(i)];
        const std::filesystem::path target = destination / name;
        if (name.back() == '/') {
            std::filesystem::create_directories(target);
            continue;
        }
        zip_stat_t st;
        if (zip_stat_index(z.get(), static_cast<zip_uint64_t>(i), 0, &st) != 0)
            throw ZipError("No se puede leer " + name + " del zip: " + zip_strerror(z.get()));
        if ((st.valid & ZIP_STAT_SIZE) && st.size > kMaxMemberSize)
            throw ZipError("El miembro " + name + " del zip es demasiado grande");
        std::unique_ptr<zip_file_t, FileCloser> in(zip_fopen_index(z.get(), static_cast<zip_uint64_t>(i), 0));
        if (!in)
            throw ZipError("No se puede leer " + name + " del zip: " + zip_strerror(z.get()));
        std::error_code ec;
        if (target.has_parent_path())
            std::filesystem::create_directories(target.parent_path(), ec);
        std::filesystem::remove(target, ec); // never write through a link left in the folder
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        if (!out)
            throw ZipError("No se puede crear " + target.string());
        char buffer[1 << 16];
        zip_uint64_t total = 0;
        for (;;) {
            const zip_int64_t got = zip_fread(in.get(), buffer, sizeof buffer);
            if (got < 0)
                throw ZipError("El zip está dañado en " + name + ": " + zip_file_strerror(in.get()));
            if (got == 0)
                break;
            total += static_cast<zip_uint64_t>(got);
            if (total > kMaxMemberSize)
                throw ZipError("El miembro " + name + " del zip es demasiado grande");
            out.write(buffer, static_cast<std::streamsize>(got));
        }
        out.close();
        if (!out)
            throw ZipError("No se pudo escribir " + target.string());
    }
    return names;
}

} // namespace tav::zip
