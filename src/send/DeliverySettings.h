// DeliverySettings.h - the window-free half of the connection settings dialog ("接続設定"): the
// line that tells which ports are used, the warning beside a choice that sends the password
// unencrypted, and the edit of Delivery.ini that writes it on OK and leaves it on Cancel.
#pragma once
#include "mail/DeliveryProfile.h"

#include <functional>
#include <string>

// "使用するポート: SMTP 587 / POP3 110" (POP3 left out when it is not used), with a note that a
// ":PORT" in the server field comes first. CP932.
std::string DeliveryPortsText(const DeliveryProfile& profile);

// The warning shown beside the choices when the password travels unencrypted (POP before SMTP
// without POP3 TLS, or SMTP AUTH without SMTP TLS), or OAuth 2.0 is chosen without SMTP TLS
// (which every send would refuse); empty otherwise. CP932.
std::string ClearPasswordWarning(const DeliveryProfile& profile);

// POP3 security applies to POP before SMTP and to oauth2 (a POP3 log-in with the token); the CA
// file only when some TLS is used.
bool PopSecurityApplies(const DeliveryProfile& profile);
bool CaFileApplies(const DeliveryProfile& profile);

// Delivery.ini of the program folder as the dialog shows it: the defaults when it is missing, a
// refused value as its default (the dialog's OK then replaces it). Raises CFileException.
DeliveryProfile ReadDeliveryForEdit(const std::string& strAppDir);

// Replaces Delivery.ini of the program folder. Raises CFileException.
void WriteDeliveryEdit(const std::string& strAppDir, const DeliveryProfile& profile);
