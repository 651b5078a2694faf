#pragma once

#include <QString>

namespace tav::imaging::detail {

// A new empty file beside `target` (same folder, so the final rename is atomic), created with the usual
// permissions of new files. Removed on destruction unless commit() moved it over the target.
class SiblingTemp
{
public:
    explicit SiblingTemp(const QString &target);
    ~SiblingTemp();
    SiblingTemp(const SiblingTemp &) = delete;
    SiblingTemp &operator=(const SiblingTemp &) = delete;

    bool isValid() const { return !m_path.isEmpty(); }
    const QString &path() const { return m_path; }
    const QString &errorString() const { return m_error; }
    // Replaces the target with the temporary file in one step.
    bool commit();

private:
    QString m_target;
    QString m_path;
    QString m_error;
};

} // namespace tav::imaging::detail
