#include "store/EngineText.h"

#include "platform/dbf/DbfError.h"

#include <QDebug>

namespace tav::store {

QString fileNamedIn(const QString &engineMessage)
{
    const qsizetype colon = engineMessage.indexOf(QLatin1Char(':'));
    if (colon <= 0)
        return {};
    QString head = engineMessage.left(colon).trimmed();
    head = head.mid(head.lastIndexOf(QLatin1Char('/')) + 1);
    // A file name has no blanks inside and carries an extension ("PED.DBF", "ped.mdx").
    if (head.isEmpty() || head.contains(QLatin1Char(' ')) || !head.contains(QLatin1Char('.')))
        return {};
    return head;
}

QString userText(const std::exception &error)
{
    const auto *engine = dynamic_cast<const dbf::DbfError *>(&error);
    if (!engine)
        return QString::fromUtf8(error.what());
    const QString detail = QString::fromLocal8Bit(error.what());
    qWarning().noquote() << "motor de tablas:" << detail;
    QString file = fileNamedIn(detail);
    if (file.isEmpty())
        file = QStringLiteral("de la oficina");
    switch (engine->code()) {
    case dbf::ErrorCode::Busy:
        return QStringLiteral("La tabla %1 está en uso en otra estación de trabajo.\rVuelva a intentar cuando la "
                              "otra estación la haya cerrado.")
            .arg(file);
    case dbf::ErrorCode::Locked:
        return QStringLiteral("Un registro de la tabla %1 está siendo modificado en otra estación de trabajo.\r"
                              "Vuelva a intentar en unos instantes.")
            .arg(file);
    case dbf::ErrorCode::NotFound:
        return QStringLiteral("No existe la tabla %1.").arg(file);
    case dbf::ErrorCode::BadHeader:
        return QStringLiteral("La tabla %1 está dañada.").arg(file);
    case dbf::ErrorCode::BadMemo:
        return QStringLiteral("El archivo de memos de la tabla %1 falta o está dañado.").arg(file);
    case dbf::ErrorCode::BadIndex:
        return QStringLiteral("El índice de la tabla %1 falta o está dañado.").arg(file);
    case dbf::ErrorCode::BadValue:
        return QStringLiteral("Un valor no cabe en su campo de la tabla %1; no se grabó.").arg(file);
    case dbf::ErrorCode::ReadOnly:
        return QStringLiteral("La tabla %1 está abierta solo para lectura.").arg(file);
    case dbf::ErrorCode::NotExclusive:
        return QStringLiteral("La tabla %1 debe usarse en forma exclusiva para esta operación.").arg(file);
    case dbf::ErrorCode::BadArgument:
        return QStringLiteral("Operación no válida sobre la tabla %1.").arg(file);
    case dbf::ErrorCode::Io:
        return QStringLiteral("Error de lectura o escritura en %1.").arg(file);
    }
    return QStringLiteral("Error en la tabla %1.").arg(file);
}

} // namespace tav::store
