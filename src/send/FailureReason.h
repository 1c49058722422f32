// FailureReason.h - the one place where a failed send operation becomes the reason the user reads
// after "送信失敗-" in the status line (and a group send's results).
#pragma once
#include "mail/DeliveryProfile.h"
#include "mail/SendResult.h"

#include <string>

// The cause where the outcome shows one the user can act on (a refused Delivery.ini value, a
// time-out, a refused connection, a refused recipient, TLS, SMTP AUTH, OAuth 2.0, an attachment
// changed while it was sent), else the general reason "発送元設定を確認してください。".
std::string FailureReason(const SendOutcome& outcome, const DeliveryProfile& profile);
