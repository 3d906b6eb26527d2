#pragma once
// How the simulator window words what the simulated panel holds.

#include <QString>

#include "demo/panel_snapshot.h"

namespace zarvex::demo {

// The settings field that parameter 1..56 fills in the configurator.
QString ParameterField(int parameter);
// The value as the panel keeps it: a number in decimal, a text or mask
// decoded from the panel's Windows-1251.
QString ParameterValue(const sim::PanelConfiguration& configuration, int parameter);

// The line under the plug buttons: what is plugged, or what was.
QString PanelStateText(const PanelSnapshot& snapshot);
// "Брелоки: 1, 4" / "Датчики: 3(2), 4(10)", "пусто" when none; a presence
// text shorter than 30 characters counts the missing ones as not paired.
QString PairedKeyFobsText(const std::string& presence);
QString PairedSensorsText(const std::string& presence);
// The device a pairing request waits for, e.g. "брелок 3", "датчик 2 (3й шлейф)".
QString WirelessDeviceName(int code);

}  // namespace zarvex::demo
