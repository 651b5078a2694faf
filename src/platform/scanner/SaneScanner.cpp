#include "platform/scanner/SaneScanner.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <QByteArray>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace tav::scanner {

namespace {

std::mutex g_saneMutex;
int g_saneUsers = 0;

void retainSane()
{
    std::lock_guard lock(g_saneMutex);
    if (g_saneUsers++ == 0) {
        SANE_Int version = 0;
        sane_init(&version, nullptr);
    }
}

void releaseSane()
{
    std::lock_guard lock(g_saneMutex);
    if (--g_saneUsers == 0)
        sane_exit();
}

struct SaneUse
{
    SaneUse() { retainSane(); }
    ~SaneUse() { releaseSane(); }
    SaneUse(const SaneUse &) = delete;
    SaneUse &operator=(const SaneUse &) = delete;
};

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString statusText(SANE_Status status)
{
    return QString::fromLocal8Bit(sane_strstatus(status));
}

SANE_Handle handleOf(void *h)
{
    return static_cast<SANE_Handle>(h);
}

// Ends a page that was started but not read to its end. Backends that read the device in a thread of SANE's own
// helper cancel it asynchronously; a cancel that lands while that thread is still starting (inside the C
// library's allocator) leaves the allocator locked and the program hangs for good. A short pause lets the
// reader reach its first blocking write, or finish, before it is cancelled. A page ends this way only on an
// error or a cancel, so the pause costs nothing a person notices.
void cancelMidPage(SANE_Handle h)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    sane_cancel(h);
}

OptionType mapType(SANE_Value_Type t)
{
    switch (t) {
    case SANE_TYPE_BOOL:
        return OptionType::Bool;
    case SANE_TYPE_INT:
        return OptionType::Int;
    case SANE_TYPE_FIXED:
        return OptionType::Fixed;
    case SANE_TYPE_STRING:
        return OptionType::String;
    case SANE_TYPE_BUTTON:
        return OptionType::Button;
    default:
        return OptionType::Group;
    }
}

double wordToDouble(SANE_Word w, SANE_Value_Type t)
{
    return t == SANE_TYPE_FIXED ? SANE_UNFIX(w) : double(w);
}

// Largest page a scanner may hand us (the same limit as image files).
constexpr qint64 kMaxLineCount = imaging::kMaxSide;

} // namespace

SaneScanner::SaneScanner()
{
    retainSane();
}

SaneScanner::~SaneScanner()
{
    close();
    releaseSane();
}

bool SaneScanner::listDevices(QList<DeviceInfo> &devices, QString *error)
{
    SaneUse use;
    devices.clear();
    const SANE_Device **list = nullptr;
    const SANE_Status status = sane_get_devices(&list, SANE_FALSE);
    if (status != SANE_STATUS_GOOD) {
        setError(error, QStringLiteral("No se pueden buscar los escáneres: %1").arg(statusText(status)));
        return false;
    }
    for (int i = 0; list && list[i]; ++i) {
        devices.append({QString::fromLocal8Bit(list[i]->name), QString::fromLocal8Bit(list[i]->vendor),
                        QString::fromLocal8Bit(list[i]->model), QString::fromLocal8Bit(list[i]->type)});
    }
    return true;
}

bool SaneScanner::open(const QString &name, QString *error)
{
    close();
    QString device = name;
    if (device.isEmpty()) {
        QList<DeviceInfo> devices;
        if (!listDevices(devices, error))
            return false;
        if (devices.isEmpty()) {
            setError(error, QStringLiteral("No se encontró ningún escáner"));
            return false;
        }
        device = devices.first().name;
    }
    SANE_Handle handle = nullptr;
    const SANE_Status status = sane_open(device.toLocal8Bit().constData(), &handle);
    if (status != SANE_STATUS_GOOD || !handle) {
        setError(error, QStringLiteral("No se puede abrir el escáner «%1»: %2").arg(device, statusText(status)));
        return false;
    }
    m_handle = handle;
    m_name = device;
    return true;
}

void SaneScanner::close()
{
    if (m_handle) {
        sane_cancel(handleOf(m_handle));
        sane_close(handleOf(m_handle));
    }
    m_handle = nullptr;
    m_name.clear();
}

QList<OptionInfo> SaneScanner::options() const
{
    QList<OptionInfo> result;
    if (!m_handle)
        return result;
    SANE_Handle h = handleOf(m_handle);
    SANE_Int count = 0;
    if (sane_control_option(h, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD)
        return result;
    for (SANE_Int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor *d = sane_get_option_descriptor(h, i);
        if (!d)
            continue;
        OptionInfo o;
        o.index = i;
        o.name = QString::fromLocal8Bit(d->name ? d->name : "");
        o.title = QString::fromLocal8Bit(d->title ? d->title : "");
        o.description = QString::fromLocal8Bit(d->desc ? d->desc : "");
        o.type = mapType(d->type);
        o.unit = d->unit;
        o.valueCount = (d->type == SANE_TYPE_INT || d->type == SANE_TYPE_FIXED) && d->size > 0
                           ? std::max<int>(1, d->size / int(sizeof(SANE_Word)))
                           : 1;
        o.active = SANE_OPTION_IS_ACTIVE(d->cap);
        o.settable = SANE_OPTION_IS_SETTABLE(d->cap);
        o.automatic = (d->cap & SANE_CAP_AUTOMATIC) != 0;
        switch (d->constraint_type) {
        case SANE_CONSTRAINT_RANGE:
            if (d->constraint.range) {
                o.constraint = ConstraintType::Range;
                o.minimum = wordToDouble(d->constraint.range->min, d->type);
                o.maximum = wordToDouble(d->constraint.range->max, d->type);
                o.quantum = wordToDouble(d->constraint.range->quant, d->type);
            }
            break;
        case SANE_CONSTRAINT_WORD_LIST:
            if (d->constraint.word_list) {
                o.constraint = ConstraintType::WordList;
                for (SANE_Int k = 1; k <= d->constraint.word_list[0]; ++k)
                    o.words.append(wordToDouble(d->constraint.word_list[k], d->type));
            }
            break;
        case SANE_CONSTRAINT_STRING_LIST:
            if (d->constraint.string_list) {
                o.constraint = ConstraintType::StringList;
                for (int k = 0; d->constraint.string_list[k]; ++k)
                    o.strings.append(QString::fromLocal8Bit(d->constraint.string_list[k]));
            }
            break;
        default:
            break;
        }
        if (o.active && d->size > 0 && d->type != SANE_TYPE_BUTTON && d->type != SANE_TYPE_GROUP) {
            std::vector<char> buffer(size_t(d->size) + 1, 0);
            if (sane_control_option(h, i, SANE_ACTION_GET_VALUE, buffer.data(), nullptr) == SANE_STATUS_GOOD) {
                SANE_Word w = 0;
                std::memcpy(&w, buffer.data(), std::min(sizeof w, size_t(d->size)));
                switch (d->type) {
                case SANE_TYPE_BOOL:
                    o.value = w != 0;
                    break;
                case SANE_TYPE_INT:
                case SANE_TYPE_FIXED:
                    o.value = wordToDouble(w, d->type);
                    break;
                case SANE_TYPE_STRING:
                    o.value = QString::fromLocal8Bit(buffer.data());
                    break;
                default:
                    break;
                }
            }
        }
        result.append(o);
    }
    return result;
}

int SaneScanner::findOption(const QString &name) const
{
    if (!m_handle)
        return -1;
    SANE_Handle h = handleOf(m_handle);
    SANE_Int count = 0;
    if (sane_control_option(h, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD)
        return -1;
    const QByteArray wanted = name.toLocal8Bit();
    for (SANE_Int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor *d = sane_get_option_descriptor(h, i);
        if (d && d->name && wanted == d->name)
            return i;
    }
    return -1;
}

std::optional<OptionInfo> SaneScanner::option(const QString &name) const
{
    const int index = findOption(name);
    if (index < 0)
        return std::nullopt;
    for (const OptionInfo &o : options()) {
        if (o.index == index)
            return o;
    }
    return std::nullopt;
}

bool SaneScanner::setOption(const QString &name, const QVariant &value, QString *error, bool *adjusted)
{
    if (adjusted)
        *adjusted = false;
    const int index = findOption(name);
    if (index < 0) {
        setError(error, QStringLiteral("El escáner no tiene la opción «%1»").arg(name));
        return false;
    }
    SANE_Handle h = handleOf(m_handle);
    const SANE_Option_Descriptor *d = sane_get_option_descriptor(h, index);
    if (!d || !SANE_OPTION_IS_SETTABLE(d->cap) || !SANE_OPTION_IS_ACTIVE(d->cap)) {
        setError(error, QStringLiteral("La opción «%1» del escáner no se puede cambiar ahora").arg(name));
        return false;
    }
    std::vector<char> buffer(size_t(std::max<SANE_Int>(d->size, SANE_Int(sizeof(SANE_Word)))) + 1, 0);
    switch (d->type) {
    case SANE_TYPE_BOOL: {
        const SANE_Word w = value.toBool() ? SANE_TRUE : SANE_FALSE;
        std::memcpy(buffer.data(), &w, sizeof w);
        break;
    }
    case SANE_TYPE_INT:
    case SANE_TYPE_FIXED: {
        bool ok = false;
        double v = value.toDouble(&ok);
        if (!ok) {
            setError(error, QStringLiteral("Valor inválido para la opción «%1»").arg(name));
            return false;
        }
        if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range) {
            const double lo = wordToDouble(d->constraint.range->min, d->type);
            const double hi = wordToDouble(d->constraint.range->max, d->type);
            const double q = wordToDouble(d->constraint.range->quant, d->type);
            v = std::clamp(v, lo, hi);
            if (q > 0)
                v = std::min(hi, lo + std::round((v - lo) / q) * q);
        } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list &&
                   d->constraint.word_list[0] > 0) {
            double best = wordToDouble(d->constraint.word_list[1], d->type);
            for (SANE_Int k = 2; k <= d->constraint.word_list[0]; ++k) {
                const double cand = wordToDouble(d->constraint.word_list[k], d->type);
                if (std::fabs(cand - v) < std::fabs(best - v))
                    best = cand;
            }
            v = best;
        }
        const SANE_Word w = d->type == SANE_TYPE_FIXED ? SANE_FIX(v) : SANE_Word(std::lround(v));
        const size_t words = std::max<size_t>(1, size_t(d->size) / sizeof(SANE_Word));
        for (size_t k = 0; k < words; ++k)
            std::memcpy(buffer.data() + k * sizeof w, &w, sizeof w);
        break;
    }
    case SANE_TYPE_STRING: {
        QString text = value.toString();
        if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST && d->constraint.string_list) {
            for (int k = 0; d->constraint.string_list[k]; ++k) {
                const QString entry = QString::fromLocal8Bit(d->constraint.string_list[k]);
                if (entry.compare(text, Qt::CaseInsensitive) == 0)
                    text = entry;
            }
        }
        const QByteArray bytes = text.toLocal8Bit();
        std::memcpy(buffer.data(), bytes.constData(), std::min<size_t>(size_t(bytes.size()), size_t(d->size) - 1));
        break;
    }
    default:
        setError(error, QStringLiteral("La opción «%1» no tiene valor").arg(name));
        return false;
    }
    SANE_Int info = 0;
    const SANE_Status status = sane_control_option(h, index, SANE_ACTION_SET_VALUE, buffer.data(), &info);
    if (status != SANE_STATUS_GOOD) {
        setError(error,
                 QStringLiteral("El escáner no acepta «%1» = %2: %3").arg(name, value.toString(), statusText(status)));
        return false;
    }
    if (adjusted)
        *adjusted = (info & SANE_INFO_INEXACT) != 0;
    return true;
}

bool SaneScanner::pressButton(const QString &name, QString *error)
{
    const int index = findOption(name);
    if (index < 0) {
        setError(error, QStringLiteral("El escáner no tiene la opción «%1»").arg(name));
        return false;
    }
    const SANE_Status status = sane_control_option(handleOf(m_handle), index, SANE_ACTION_SET_VALUE, nullptr, nullptr);
    if (status != SANE_STATUS_GOOD) {
        setError(error, QStringLiteral("El escáner no acepta «%1»: %2").arg(name, statusText(status)));
        return false;
    }
    return true;
}

bool SaneScanner::setAutomatic(const QString &name, QString *error)
{
    const int index = findOption(name);
    if (index < 0) {
        setError(error, QStringLiteral("El escáner no tiene la opción «%1»").arg(name));
        return false;
    }
    const SANE_Status status = sane_control_option(handleOf(m_handle), index, SANE_ACTION_SET_AUTO, nullptr, nullptr);
    if (status != SANE_STATUS_GOOD) {
        setError(error, QStringLiteral("El escáner no acepta «%1» automático: %2").arg(name, statusText(status)));
        return false;
    }
    return true;
}

double SaneScanner::currentResolution(const char *name) const
{
    const auto o = option(QString::fromLatin1(name));
    return o && o->active && o->value.isValid() ? o->value.toDouble() : 0;
}

void SaneScanner::cancel()
{
    if (m_handle)
        sane_cancel(handleOf(m_handle));
}

SaneScanner::PageStatus SaneScanner::scanPage(imaging::Page &page, QString *error, const Progress &progress)
{
    page = {};
    if (!m_handle) {
        setError(error, QStringLiteral("El escáner no está abierto"));
        return PageStatus::Error;
    }
    SANE_Handle h = handleOf(m_handle);
    double xdpi = currentResolution(SANE_NAME_SCAN_X_RESOLUTION);
    double ydpi = currentResolution(SANE_NAME_SCAN_Y_RESOLUTION);
    const double dpi = currentResolution(SANE_NAME_SCAN_RESOLUTION);
    if (xdpi <= 0)
        xdpi = dpi;
    if (ydpi <= 0)
        ydpi = xdpi;

    // Frames of the page: one grey or RGB frame, or three single-colour frames.
    QByteArray planes[3];
    QByteArray single;
    SANE_Parameters first{};
    bool haveFirst = false;
    bool colourPlanes = false;
    qint64 doneBefore = 0; // bytes of the frames already read
    for (int frame = 0; frame < 3 + 1; ++frame) {
        const SANE_Status started = sane_start(h);
        if (started == SANE_STATUS_NO_DOCS && frame == 0)
            return PageStatus::NoMoreDocuments;
        if (started == SANE_STATUS_CANCELLED) {
            sane_cancel(h);
            return PageStatus::Cancelled;
        }
        if (started != SANE_STATUS_GOOD) {
            sane_cancel(h);
            setError(error, QStringLiteral("El escáner no puede empezar: %1").arg(statusText(started)));
            return PageStatus::Error;
        }
        SANE_Parameters p{};
        if (sane_get_parameters(h, &p) != SANE_STATUS_GOOD || p.pixels_per_line <= 0 ||
            p.pixels_per_line > imaging::kMaxSide || p.bytes_per_line <= 0 || p.lines > kMaxLineCount ||
            (p.depth != 1 && p.depth != 8 && p.depth != 16) ||
            qint64(p.bytes_per_line) * 8 < qint64(p.pixels_per_line) * p.depth * (p.format == SANE_FRAME_RGB ? 3 : 1) ||
            qint64(p.bytes_per_line) > qint64(imaging::kMaxSide) * 6) {
            cancelMidPage(h);
            setError(error, QStringLiteral("El escáner informa un formato de página inválido"));
            return PageStatus::Error;
        }
        if (p.format == SANE_FRAME_RGB && p.depth == 1) {
            cancelMidPage(h);
            setError(error, QStringLiteral("Formato de color de 1 bit no admitido"));
            return PageStatus::Error;
        }
        if (!haveFirst) {
            first = p;
            haveFirst = true;
        } else if (p.pixels_per_line != first.pixels_per_line || p.bytes_per_line != first.bytes_per_line) {
            cancelMidPage(h);
            setError(error, QStringLiteral("Los planos de color del escáner no coinciden"));
            return PageStatus::Error;
        }
        const qint64 limit = qint64(p.bytes_per_line) * (p.lines > 0 ? qint64(p.lines) : kMaxLineCount);
        QByteArray data;
        data.reserve(int(std::min<qint64>(limit, 64 << 20)));
        std::vector<SANE_Byte> chunk(64 * 1024);
        for (;;) {
            SANE_Int got = 0;
            const SANE_Status st = sane_read(h, chunk.data(), SANE_Int(chunk.size()), &got);
            if (st == SANE_STATUS_EOF)
                break;
            if (st == SANE_STATUS_CANCELLED) {
                cancelMidPage(h);
                return PageStatus::Cancelled;
            }
            if (st != SANE_STATUS_GOOD) {
                cancelMidPage(h);
                setError(error, QStringLiteral("Error al leer del escáner: %1").arg(statusText(st)));
                return PageStatus::Error;
            }
            if (got < 0 || data.size() + got > limit) {
                cancelMidPage(h);
                setError(error, QStringLiteral("El escáner envió más datos que los anunciados"));
                return PageStatus::Error;
            }
            data.append(reinterpret_cast<const char *>(chunk.data()), got);
            if (progress) {
                // Separate colour planes come as three frames of one page.
                const bool planar =
                    p.format == SANE_FRAME_RED || p.format == SANE_FRAME_GREEN || p.format == SANE_FRAME_BLUE;
                const qint64 frameBytes = p.lines > 0 ? qint64(p.bytes_per_line) * p.lines : 0;
                if (!progress(doneBefore + data.size(), frameBytes * (planar ? 3 : 1))) {
                    cancelMidPage(h);
                    return PageStatus::Cancelled;
                }
            }
        }
        doneBefore += data.size();
        switch (p.format) {
        case SANE_FRAME_RED:
            planes[0] = data;
            colourPlanes = true;
            break;
        case SANE_FRAME_GREEN:
            planes[1] = data;
            colourPlanes = true;
            break;
        case SANE_FRAME_BLUE:
            planes[2] = data;
            colourPlanes = true;
            break;
        default:
            single = data;
            break;
        }
        if (p.last_frame)
            break;
        if (frame == 3) {
            sane_cancel(h);
            setError(error, QStringLiteral("El escáner envió demasiados planos"));
            return PageStatus::Error;
        }
    }

    const int width = first.pixels_per_line;
    const qint64 bpl = first.bytes_per_line;
    const QByteArray &reference = colourPlanes ? planes[0] : single;
    const int height = int(std::min<qint64>(reference.size() / bpl, kMaxLineCount));
    if (height <= 0) {
        setError(error, QStringLiteral("El escáner no envió ninguna línea"));
        return PageStatus::Error;
    }
    auto sample = [&](const QByteArray &buf, int y, int index) -> int {
        const qint64 at = qint64(y) * bpl;
        if (first.depth == 8)
            return uchar(buf[at + index]);
        quint16 v = 0;
        std::memcpy(&v, buf.constData() + at + 2 * qint64(index), 2);
        return v >> 8;
    };
    QImage img;
    if (colourPlanes) {
        for (const QByteArray &plane : planes) {
            if (plane.size() < qint64(height) * bpl || first.depth == 1) {
                setError(error, QStringLiteral("Faltan planos de color de la página"));
                return PageStatus::Error;
            }
        }
        img = QImage(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height && !img.isNull(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
            for (int x = 0; x < width; ++x)
                line[x] = qRgb(sample(planes[0], y, x), sample(planes[1], y, x), sample(planes[2], y, x));
        }
    } else if (first.format == SANE_FRAME_RGB) {
        img = QImage(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height && !img.isNull(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
            for (int x = 0; x < width; ++x)
                line[x] = qRgb(sample(single, y, 3 * x), sample(single, y, 3 * x + 1), sample(single, y, 3 * x + 2));
        }
    } else if (first.depth == 1) {
        img = QImage(width, height, QImage::Format_Mono);
        if (!img.isNull()) {
            img.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)}); // in line art a set bit is black
            const size_t bytes = size_t(width + 7) / 8;
            for (int y = 0; y < height; ++y)
                std::memcpy(img.scanLine(y), single.constData() + qint64(y) * bpl, bytes);
        }
    } else {
        img = QImage(width, height, QImage::Format_Grayscale8);
        for (int y = 0; y < height && !img.isNull(); ++y) {
            uchar *line = img.scanLine(y);
            for (int x = 0; x < width; ++x)
                line[x] = uchar(sample(single, y, x));
        }
    }
    if (img.isNull()) {
        setError(error, QStringLiteral("No hay memoria para la página escaneada"));
        return PageStatus::Error;
    }
    page.image = std::move(img);
    page.xResolution = xdpi;
    page.yResolution = ydpi;
    return PageStatus::Ok;
}

} // namespace tav::scanner
