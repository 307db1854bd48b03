#pragma once
// The window speaks QString; the system speaks GBK. These are the only crossings.
#include <QString>

#include "web/text.h"

namespace velkor {

inline QString qs(const Text& gbk_text) {
    return QString::fromStdString(to_utf8(gbk_text));
}
inline Text tx(const QString& s) {
    return gbk(s.toStdString());
}

}  // namespace velkor
