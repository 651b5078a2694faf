#include "reports/Code39.h"

#include <zint.h>

#include <algorithm>
#include <memory>

namespace tav::reports {

Code39 Code39::encode(const QString &text)
{
    Code39 code;
    if (text.isEmpty()) {
        code.error = QStringLiteral("Código de barras vacío");
        return code;
    }
    const std::unique_ptr<zint_symbol, void (*)(zint_symbol *)> symbol(ZBarcode_Create(), ZBarcode_Delete);
    if (!symbol) {
        code.error = QStringLiteral("No hay memoria para el código de barras");
        return code;
    }
    symbol->symbology = BARCODE_CODE39;
    symbol->show_hrt = 0;
    symbol->input_mode = DATA_MODE;
    const QByteArray data = text.toLatin1();
    int result = ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char *>(data.constData()),
                                 static_cast<int>(data.size()));
    if (result < ZINT_ERROR)
        result = ZBarcode_Buffer_Vector(symbol.get(), 0);
    if (result >= ZINT_ERROR || !symbol->vector) {
        code.error = QStringLiteral("No se puede representar \"%1\" en Código 39: %2")
                         .arg(text, QString::fromLatin1(symbol->errtxt));
        return code;
    }
    for (const zint_vector_rect *r = symbol->vector->rectangles; r; r = r->next)
        code.bars.push_back({r->x, r->width});
    std::sort(code.bars.begin(), code.bars.end(), [](const Bar &a, const Bar &b) { return a.x < b.x; });
    if (code.bars.empty()) {
        code.error = QStringLiteral("Código de barras vacío");
        return code;
    }
    // Whatever unit the vector output uses, the narrowest bar is one module.
    const double left = code.bars.front().x;
    double module = code.bars.front().width;
    for (const Bar &b : code.bars)
        module = std::min(module, b.width);
    for (Bar &b : code.bars) {
        b.x = (b.x - left) / module;
        b.width /= module;
    }
    code.width = code.bars.back().x + code.bars.back().width;
    return code;
}

} // namespace tav::reports
