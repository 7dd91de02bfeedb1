// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The serial link's lines about the device itself: why an open failed, written after
// "INVALID_HANDLE_VALUE", and the device back after a re-plug. Windows-1251 bytes.

#include "core/bytestring.h"

namespace corvane::serial {

// "Нет устройства " (the path follows)
inline const ByteString kNoDevice = "\xCD\xE5\xF2 \xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0 ";
// "Нет прав на " + path + ": добавьте пользователя в группу " + group + " и войдите в систему
// заново"
inline const ByteString kNoRightsOn = "\xCD\xE5\xF2 \xEF\xF0\xE0\xE2 \xED\xE0 ";
inline const ByteString kJoinGroup =
    ": \xE4\xEE\xE1\xE0\xE2\xFC\xF2\xE5 \xEF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xFF \xE2 "
    "\xE3\xF0\xF3\xEF\xEF\xF3 ";
inline const ByteString kLogInAgain =
    " \xE8 \xE2\xEE\xE9\xE4\xE8\xF2\xE5 \xE2 \xF1\xE8\xF1\xF2\xE5\xEC\xF3 \xE7\xE0\xED\xEE\xE2\xEE";
// "Нет прав на " + path + ": войдите в систему заново": the user is in the group that may use the
// device, but this session began before that
inline const ByteString kLogInAgainOnly =
    ": \xE2\xEE\xE9\xE4\xE8\xF2\xE5 \xE2 \xF1\xE8\xF1\xF2\xE5\xEC\xF3 \xE7\xE0\xED\xEE\xE2\xEE";
// "Устройство занято: " + path + " (" + holder + ")"
inline const ByteString kDeviceBusy =
    "\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xEE \xE7\xE0\xED\xFF\xF2\xEE: ";
// " (монопольный доступ оставила завершившаяся программа; переподключите устройство)": in place
// of the holder, for a pty's exclusive flag that outlived the program that set it
inline const ByteString kLeftExclusive =
    " (\xEC\xEE\xED\xEE\xEF\xEE\xEB\xFC\xED\xFB\xE9 \xE4\xEE\xF1\xF2\xF3\xEF "
    "\xEE\xF1\xF2\xE0\xE2\xE8\xEB\xE0 \xE7\xE0\xE2\xE5\xF0\xF8\xE8\xE2\xF8\xE0\xFF\xF1\xFF "
    "\xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0; "
    "\xEF\xE5\xF0\xE5\xEF\xEE\xE4\xEA\xEB\xFE\xF7\xE8\xF2\xE5 "
    "\xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xEE)";
// "Не последовательный порт: " (the path follows): a folder, a file, a FIFO
inline const ByteString kNotSerialPort =
    "\xCD\xE5 \xEF\xEE\xF1\xEB\xE5\xE4\xEE\xE2\xE0\xF2\xE5\xEB\xFC\xED\xFB\xE9 "
    "\xEF\xEE\xF0\xF2: ";
// "Ошибка открытия " + path + ": " + the system's text
inline const ByteString kOpenFailedOn =
    "\xCE\xF8\xE8\xE1\xEA\xE0 \xEE\xF2\xEA\xF0\xFB\xF2\xE8\xFF ";
// "Связь с устройством восстановлена: " (the path follows)
inline const ByteString kDeviceBack =
    "\xD1\xE2\xFF\xE7\xFC \xF1 \xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xEE\xEC "
    "\xE2\xEE\xF1\xF1\xF2\xE0\xED\xEE\xE2\xEB\xE5\xED\xE0: ";
// "Другое устройство: " (the new adapter's short description follows the line above)
inline const ByteString kOtherDevice =
    "\xC4\xF0\xF3\xE3\xEE\xE5 \xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xEE: ";
// ", серийный номер " (a USB serial number follows)
inline const ByteString kSerialNumber = ", \xF1\xE5\xF0\xE8\xE9\xED\xFB\xE9 \xED\xEE\xEC\xE5\xF0 ";
// "Устройство вернулось, но занято: " + path + " (" + holder + ")"
inline const ByteString kBackButBusy =
    "\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xEE \xE2\xE5\xF0\xED\xF3\xEB\xEE\xF1\xFC, "
    "\xED\xEE \xE7\xE0\xED\xFF\xF2\xEE: ";
// "Устройство вернулось, но нет прав на " + path
inline const ByteString kBackButNoRights =
    "\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xEE \xE2\xE5\xF0\xED\xF3\xEB\xEE\xF1\xFC, "
    "\xED\xEE \xED\xE5\xF2 \xEF\xF0\xE0\xE2 \xED\xE0 ";

} // namespace corvane::serial
