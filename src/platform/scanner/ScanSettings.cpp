#include "platform/scanner/ScanSettings.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <cmath>
#include <string_view>

namespace tav::scanner {

namespace {

void note(QStringList *notes, const QString &text)
{
    if (notes)
        notes->append(text);
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

bool usable(const std::optional<OptionInfo> &o)
{
    return o && o->active && o->settable;
}

QString findEntry(const QStringList &entries, const QStringList &needles)
{
    for (const QString &needle : needles) {
        for (const QString &e : entries) {
            if (e.compare(needle, Qt::CaseInsensitive) == 0)
                return e;
        }
    }
    for (const QString &needle : needles) {
        for (const QString &e : entries) {
            if (e.contains(needle, Qt::CaseInsensitive))
                return e;
        }
    }
    return {};
}

bool isFeeder(const QString &s)
{
    return s.contains(QStringLiteral("adf"), Qt::CaseInsensitive) ||
           s.contains(QStringLiteral("feeder"), Qt::CaseInsensitive);
}

bool allowsDepth(const OptionInfo &o, int depth)
{
    if (o.constraint == ConstraintType::WordList)
        return o.words.contains(double(depth));
    if (o.constraint == ConstraintType::Range)
        return depth >= o.minimum && depth <= o.maximum;
    return true;
}

} // namespace

double deviceLevel(int level, const OptionInfo &o)
{
    const double l = std::clamp(level, -1000, 1000) / 1000.0;
    if (o.constraint != ConstraintType::Range)
        return l * 100.0;
    if (o.minimum < 0 && o.maximum > 0)
        return l >= 0 ? l * o.maximum : -l * o.minimum;
    return o.minimum + (l + 1.0) / 2.0 * (o.maximum - o.minimum);
}

int profileLevel(double value, const OptionInfo &o)
{
    double l = value / 100.0;
    if (o.constraint == ConstraintType::Range) {
        if (o.minimum < 0 && o.maximum > 0)
            l = value >= 0 ? value / o.maximum : -value / o.minimum;
        else if (o.maximum > o.minimum)
            l = 2.0 * (value - o.minimum) / (o.maximum - o.minimum) - 1.0;
    }
    return int(std::lround(std::clamp(l, -1.0, 1.0) * 1000.0));
}

bool applyScanSettings(SaneScanner &scanner, const ScanSettings &s, QStringList *notes, QString *error)
{
    // Source first: on many devices it changes the geometry ranges.
    const auto source = scanner.option(QStringLiteral(SANE_NAME_SCAN_SOURCE));
    if (usable(source) && source->type == OptionType::String) {
        QString wanted;
        if (s.feeder) {
            for (const QString &e : source->strings) {
                if (isFeeder(e)) {
                    wanted = e;
                    break;
                }
            }
        } else {
            wanted = findEntry(source->strings, {QStringLiteral("Flatbed")});
            if (wanted.isEmpty()) {
                for (const QString &e : source->strings) {
                    if (!isFeeder(e)) {
                        wanted = e;
                        break;
                    }
                }
            }
        }
        if (wanted.isEmpty() && s.feeder) {
            setError(error, QStringLiteral("El escáner no tiene alimentador automático de documentos"));
            return false;
        }
        if (!wanted.isEmpty() && !scanner.setOption(QStringLiteral(SANE_NAME_SCAN_SOURCE), wanted, error))
            return false;
    } else if (s.feeder) {
        setError(error, QStringLiteral("El escáner no tiene alimentador automático de documentos"));
        return false;
    }

    // Mode and depth.
    const auto mode = scanner.option(QStringLiteral(SANE_NAME_SCAN_MODE));
    int depth = 8;
    if (usable(mode)) {
        QString wanted;
        switch (s.mode) {
        case ScanMode::Lineart:
            wanted = findEntry(mode->strings, {QStringLiteral(SANE_VALUE_SCAN_MODE_LINEART), QStringLiteral("Binary"),
                                               QStringLiteral("Black & White")});
            if (wanted.isEmpty()) {
                wanted = findEntry(mode->strings, {QStringLiteral(SANE_VALUE_SCAN_MODE_GRAY)});
                depth = 1;
            } else {
                depth = 0; // implied by the mode
            }
            break;
        case ScanMode::Gray:
            wanted = findEntry(mode->strings, {QStringLiteral(SANE_VALUE_SCAN_MODE_GRAY), QStringLiteral("Grey")});
            break;
        case ScanMode::Color:
            wanted = findEntry(mode->strings, {QStringLiteral(SANE_VALUE_SCAN_MODE_COLOR), QStringLiteral("RGB")});
            break;
        }
        if (wanted.isEmpty()) {
            setError(error, QStringLiteral("El escáner no tiene un modo de imagen adecuado (%1)")
                                .arg(mode->strings.join(QStringLiteral(", "))));
            return false;
        }
        if (!scanner.setOption(QStringLiteral(SANE_NAME_SCAN_MODE), wanted, error))
            return false;
    } else {
        note(notes, QStringLiteral("El escáner no permite elegir el modo de imagen"));
    }
    const auto depthOption = scanner.option(QStringLiteral(SANE_NAME_BIT_DEPTH));
    if (depth > 0 && usable(depthOption)) {
        if (allowsDepth(*depthOption, depth)) {
            if (!scanner.setOption(QStringLiteral(SANE_NAME_BIT_DEPTH), depth, error))
                return false;
        } else if (depth == 1) {
            note(notes, QStringLiteral("El escáner no digitaliza a 1 bit: la página se convierte a blanco y negro"));
            if (allowsDepth(*depthOption, 8))
                scanner.setOption(QStringLiteral(SANE_NAME_BIT_DEPTH), 8);
        }
    }

    // Resolution.
    bool resolutionSet = false;
    for (const char *name : {SANE_NAME_SCAN_RESOLUTION, SANE_NAME_SCAN_X_RESOLUTION, SANE_NAME_SCAN_Y_RESOLUTION}) {
        const auto o = scanner.option(QString::fromLatin1(name));
        if (!usable(o))
            continue;
        bool adjusted = false;
        if (!scanner.setOption(QString::fromLatin1(name), s.dpi, error, &adjusted))
            return false;
        if (adjusted) {
            const auto now = scanner.option(QString::fromLatin1(name));
            const double got = now && now->value.isValid() ? now->value.toDouble() : 0;
            note(notes, QStringLiteral("El escáner digitaliza a %1 DPI en lugar de los %2 DPI pedidos")
                            .arg(QString::number(got, 'g', 6), QString::number(s.dpi, 'g', 6)));
        }
        resolutionSet = true;
    }
    if (!resolutionSet)
        note(notes, QStringLiteral("El escáner no permite elegir la resolución"));

    // Scan area.
    const struct
    {
        const char *name;
        double mm;
        const char *edge; // as the scanner profile calls it
    } area[] = {{SANE_NAME_SCAN_TL_X, s.leftMm, "Izquierda"},
                {SANE_NAME_SCAN_TL_Y, s.topMm, "Arriba"},
                {SANE_NAME_SCAN_BR_X, s.rightMm, "Derecha"},
                {SANE_NAME_SCAN_BR_Y, s.bottomMm, "Abajo"}};
    for (const auto &edge : area) {
        const auto o = scanner.option(QString::fromLatin1(edge.name));
        if (!usable(o)) {
            note(notes,
                 QStringLiteral("El escáner no permite elegir el área (%1)").arg(QString::fromLatin1(edge.edge)));
            continue;
        }
        double value = edge.mm;
        if (o->unit == SANE_UNIT_PIXEL)
            value = edge.mm / 25.4 * s.dpi;
        bool adjusted = false;
        if (!scanner.setOption(QString::fromLatin1(edge.name), value, error, &adjusted))
            return false;
        if (adjusted || (o->constraint == ConstraintType::Range && (value < o->minimum || value > o->maximum))) {
            const auto now = scanner.option(QString::fromLatin1(edge.name));
            double got = now && now->value.isValid() ? now->value.toDouble() : 0;
            if (o->unit == SANE_UNIT_PIXEL && s.dpi > 0)
                got = got * 25.4 / s.dpi;
            note(notes, QStringLiteral("El área pedida excede la del escáner: %1 %2 mm, se digitaliza con %3 mm")
                            .arg(QString::fromLatin1(edge.edge), QString::number(edge.mm, 'f', 0),
                                 QString::number(got, 'f', 0)));
        }
    }

    // Brightness and contrast, when the device has them.
    const struct
    {
        const char *name;
        int level;
    } levels[] = {{SANE_NAME_BRIGHTNESS, s.brightness}, {SANE_NAME_CONTRAST, s.contrast}};
    for (const auto &lv : levels) {
        if (lv.level == 0)
            continue;
        const auto o = scanner.option(QString::fromLatin1(lv.name));
        if (!usable(o) || (o->type != OptionType::Int && o->type != OptionType::Fixed)) {
            note(notes, QStringLiteral("El escáner no permite ajustar %1: se digitaliza sin cambiarlo")
                            .arg(lv.name == std::string_view(SANE_NAME_BRIGHTNESS) ? QStringLiteral("el brillo")
                                                                                   : QStringLiteral("el contraste")));
            continue;
        }
        if (!scanner.setOption(QString::fromLatin1(lv.name), deviceLevel(lv.level, *o), error))
            return false;
    }
    return true;
}

} // namespace tav::scanner
