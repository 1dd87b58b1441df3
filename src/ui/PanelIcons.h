#pragma once

#include <QPixmap>

namespace znr {

// The pictures of the settings window's left panel, drawn rather than loaded from files.
enum class PanelIcon { FileSetup, General, Save, Close };
QPixmap panelIcon(PanelIcon kind, int size = 32);

} // namespace znr
