#include "core/SafeFileName.h"

#include <cstring>

namespace znr {

QByteArray safeFileNamePart(const QByteArray& text) {
    QByteArray part = text;
    for (char& c : part) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127 || std::strchr("/\\:*?\"<>|", c) != nullptr)
            c = '_';
    }
    return part;
}

} // namespace znr
