// Settings and diagnostics: persistent per-user state, the data-type table and support files.
#pragma once
#include "settings/DataTypes.h"    // dataTypeKey, defaultLayerName, dataTypeFromKey: the 20 data types
#include "settings/Diagnostics.h"  // diagnosticPath, writeDiagnosticFile, appendDiagnosticLine, webDiagnosticLine
#include "settings/NumberText.h"   // formatNumber (decimal comma), allowedContourInterval
#include "settings/Settings.h"     // Settings record, defaultSettings, settingsPath, loadSettings, saveSettings
