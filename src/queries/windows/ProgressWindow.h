#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

namespace tav::queries {

// A window with a caption, an optional label and a progress bar that repaints at every step, for the
// re-index ("Ordenamiento de Archivos") and the purge ("Purga Automática de Contestaciones").
class ProgressWindow : public QDialog
{
    Q_OBJECT

public:
    ProgressWindow(const QString &objectName, const QString &caption, const QString &label, QWidget *parent = nullptr);

    void setProgress(int percent);
    int progress() const;

private:
    QProgressBar *m_bar;
};

// The re-index window of the start and of the menu.
class TFReindex : public ProgressWindow
{
    Q_OBJECT

public:
    explicit TFReindex(QWidget *parent = nullptr)
        : ProgressWindow(QStringLiteral("TFReindex"), QStringLiteral("Ordenamiento de Archivos"), QString(), parent)
    {}
};

// The purge window shown when the program closes.
class TFPurgReg : public ProgressWindow
{
    Q_OBJECT

public:
    explicit TFPurgReg(QWidget *parent = nullptr)
        : ProgressWindow(QStringLiteral("TFPurgReg"), QStringLiteral("Purga Automática de Contestaciones"),
                         QStringLiteral("Progreso de la purga:"), parent)
    {}
};

} // namespace tav::queries
