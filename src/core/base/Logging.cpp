#include "core/base/Logging.h"

Q_LOGGING_CATEGORY(lcMain, "horolan.main", QtInfoMsg)
Q_LOGGING_CATEGORY(lcShape, "horolan.shape", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSkin, "horolan.skin", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSound, "horolan.sound", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSettings, "horolan.settings", QtInfoMsg)
Q_LOGGING_CATEGORY(lcWorldTime, "horolan.worldtime", QtInfoMsg)
Q_LOGGING_CATEGORY(lcInstall, "horolan.install", QtInfoMsg)
