#pragma once

#include "platform/imaging/ImageCodes.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>

namespace tav::scanner {

struct DeviceInfo
{
    QString name; // what open() takes, e.g. "test:0"
    QString vendor;
    QString model;
    QString type;
};

enum class OptionType { Bool, Int, Fixed, String, Button, Group };
enum class ConstraintType { None, Range, WordList, StringList };

// One option of a device as SANE describes it, with its current value.
struct OptionInfo
{
    int index = 0;
    QString name;
    QString title;
    QString description;
    OptionType type = OptionType::Int;
    int unit = 0;       // SANE_Unit
    int valueCount = 1; // values of an array option
    bool active = true;
    bool settable = true;
    bool automatic = false; // can be set to the device's automatic value
    ConstraintType constraint = ConstraintType::None;
    double minimum = 0;
    double maximum = 0;
    double quantum = 0;
    QList<double> words;
    QStringList strings;
    // Bool: bool; Int and Fixed: double (first value of an array); String: QString; Button and Group: invalid.
    QVariant value;
};

// A scanner reached through SANE. SANE is started while at least one scanner object exists, so a test can point
// SANE_CONFIG_DIR at its own configuration before creating the first one. All calls belong to one thread.
class SaneScanner
{
public:
    SaneScanner();
    ~SaneScanner();
    SaneScanner(const SaneScanner &) = delete;
    SaneScanner &operator=(const SaneScanner &) = delete;

    // Devices SANE finds (local and network ones).
    static bool listDevices(QList<DeviceInfo> &devices, QString *error = nullptr);

    // Opens a device by name; an empty name opens the first device found.
    bool open(const QString &name, QString *error = nullptr);
    void close();
    bool isOpen() const { return m_handle != nullptr; }
    const QString &deviceName() const { return m_name; }

    QList<OptionInfo> options() const;
    std::optional<OptionInfo> option(const QString &name) const;
    // Sets an option from a QVariant (bool, number or text; numbers are rounded for integer options and clamped
    // to a range constraint, the nearest word of a word list is taken). `adjusted` tells that the device stored
    // a different value than asked.
    bool setOption(const QString &name, const QVariant &value, QString *error = nullptr, bool *adjusted = nullptr);
    // Presses a button option or sets an option to the device's automatic value.
    bool pressButton(const QString &name, QString *error = nullptr);
    bool setAutomatic(const QString &name, QString *error = nullptr);

    enum class PageStatus { Ok, NoMoreDocuments, Cancelled, Error };
    // Told the bytes read so far and the bytes the page is expected to have (0 when the device does not know);
    // false stops the page (Cancelled).
    using Progress = std::function<bool(qint64 done, qint64 expected)>;
    // Scans one page (all its frames). Resolution is taken from the "resolution" options.
    PageStatus scanPage(imaging::Page &page, QString *error = nullptr, const Progress &progress = {});
    // Ends the batch (after the last page of a feeder run, or to stop a scan).
    void cancel();

private:
    int findOption(const QString &name) const;
    double currentResolution(const char *name) const;

    void *m_handle = nullptr;
    QString m_name;
};

} // namespace tav::scanner
