// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The serial link's fixed log lines. The Russian ones are Windows-1251 bytes.

#include "core/bytestring.h"
#include "core/logarrows.h"

namespace corvane::serial {

inline const ByteString kInvalidHandle = "INVALID_HANDLE_VALUE";
// "Ошибка при SendData"
inline const ByteString kSendDataError = "\xCE\xF8\xE8\xE1\xEA\xE0 \xEF\xF0\xE8 SendData";
// "Передано байт: " (the count written, " из " and the payload's size follow): after
// kSendDataError when part of the payload went out, so that the operator knows the device got a
// truncated frame
inline const ByteString kBytesSent = "\xCF\xE5\xF0\xE5\xE4\xE0\xED\xEE \xE1\xE0\xE9\xF2: ";
inline const ByteString kBytesOf = " \xE8\xE7 ";
// "Ошибка чтения параметров последовательного порта " (the port path follows)
inline const ByteString kReadSettingsError =
    "\xCE\xF8\xE8\xE1\xEA\xE0 \xF7\xF2\xE5\xED\xE8\xFF \xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xEE\xE2 "
    "\xEF\xEE\xF1\xEB\xE5\xE4\xEE\xE2\xE0\xF2\xE5\xEB\xFC\xED\xEE\xE3\xEE \xEF\xEE\xF0\xF2\xE0 ";
// "Ошибка при установке параметров последовательного порта " (the port path follows)
inline const ByteString kWriteSettingsError =
    "\xCE\xF8\xE8\xE1\xEA\xE0 \xEF\xF0\xE8 \xF3\xF1\xF2\xE0\xED\xEE\xE2\xEA\xE5 "
    "\xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xEE\xE2 "
    "\xEF\xEE\xF1\xEB\xE5\xE4\xEE\xE2\xE0\xF2\xE5\xEB\xFC\xED\xEE\xE3\xEE \xEF\xEE\xF0\xF2\xE0 ";
// "Ошибка очистки буфера последовательного порта " (the port path follows)
inline const ByteString kPurgeError =
    "\xCE\xF8\xE8\xE1\xEA\xE0 \xEE\xF7\xE8\xF1\xF2\xEA\xE8 \xE1\xF3\xF4\xE5\xF0\xE0 "
    "\xEF\xEE\xF1\xEB\xE5\xE4\xEE\xE2\xE0\xF2\xE5\xEB\xFC\xED\xEE\xE3\xEE \xEF\xEE\xF0\xF2\xE0 ";
// "Ошибка настройки последовательного порта " (the port path follows)
inline const ByteString kMaskError =
    "\xCE\xF8\xE8\xE1\xEA\xE0 \xED\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE8 "
    "\xEF\xEE\xF1\xEB\xE5\xE4\xEE\xE2\xE0\xF2\xE5\xEB\xFC\xED\xEE\xE3\xEE \xEF\xEE\xF0\xF2\xE0 ";
// "Ошибка открытия COM-порта: " with a Latin COM (the error code and text follow)
inline const ByteString kOpenError =
    "\xCE\xF8\xE8\xE1\xEA\xE0 \xEE\xF2\xEA\xF0\xFB\xF2\xE8\xFF COM-\xEF\xEE\xF0\xF2\xE0: ";
// "Начало работы потока приёма"
inline const ByteString kRxStarted =
    "\xCD\xE0\xF7\xE0\xEB\xEE \xF0\xE0\xE1\xEE\xF2\xFB \xEF\xEE\xF2\xEE\xEA\xE0 "
    "\xEF\xF0\xE8\xB8\xEC\xE0";
// "Завершение работы потока приёма"
inline const ByteString kRxEnded =
    "\xC7\xE0\xE2\xE5\xF0\xF8\xE5\xED\xE8\xE5 \xF0\xE0\xE1\xEE\xF2\xFB \xEF\xEE\xF2\xEE\xEA\xE0 "
    "\xEF\xF0\xE8\xB8\xEC\xE0";
// "Ошибка RcvData. Остановка чтения СОМ-порта" with a Cyrillic СОМ
inline const ByteString kRcvDataError =
    "\xCE\xF8\xE8\xE1\xEA\xE0 RcvData. \xCE\xF1\xF2\xE0\xED\xEE\xE2\xEA\xE0 "
    "\xF7\xF2\xE5\xED\xE8\xFF \xD1\xCE\xCC-\xEF\xEE\xF0\xF2\xE0";
// "Ошибка RX1"
inline const ByteString kRx1Error = "\xCE\xF8\xE8\xE1\xEA\xE0 RX1";
// "Ошибка RX2"
inline const ByteString kRx2Error = "\xCE\xF8\xE8\xE1\xEA\xE0 RX2";
// The receive worker's lines about bytes that never reach the pane. Lost bytes are no line error:
// a pane that looks complete while the stream has a hole in it would mislead.
// "Потеряно байт при приёме: " (the count follows)
inline const ByteString kBytesLost = "\xCF\xEE\xF2\xE5\xF0\xFF\xED\xEE \xE1\xE0\xE9\xF2 "
                                     "\xEF\xF0\xE8 \xEF\xF0\xE8\xB8\xEC\xE5: ";
// "не меньше " between the two when the count holds overrun events, each of which lost at least
// one byte but perhaps more
inline const ByteString kAtLeast = "\xED\xE5 \xEC\xE5\xED\xFC\xF8\xE5 ";
// "Потеряны байты при приёме": the driver does not say how many
inline const ByteString kBytesLostUncounted =
    "\xCF\xEE\xF2\xE5\xF0\xFF\xED\xFB \xE1\xE0\xE9\xF2\xFB \xEF\xF0\xE8 "
    "\xEF\xF0\xE8\xB8\xEC\xE5";
// "Связь с устройством потеряна": the device hung up (a USB adapter pulled, a pty's end closed)
inline const ByteString kDeviceGone = "\xD1\xE2\xFF\xE7\xFC \xF1 "
                                      "\xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xEE\xEC "
                                      "\xEF\xEE\xF2\xE5\xF0\xFF\xED\xE0";

} // namespace corvane::serial
