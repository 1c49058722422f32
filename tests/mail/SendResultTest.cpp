// SendResultTest.cpp - every result family's numbers, as the log, the callers and other programs
// reading the codes rely on them.
#include "mail/SendResult.h"
#include "send/SendForm.h"

#include <gtest/gtest.h>

namespace
{
struct ResultValue
{
    const char* pszName;
    int nActual;
    int nExpected;
};

void PrintTo(const ResultValue& value, std::ostream* pOut)
{
    *pOut << value.pszName << " = " << value.nExpected;
}

#define RESULT(value, expected)                                                                    \
    ResultValue                                                                                    \
    {                                                                                              \
#value, Code(value), expected                                                              \
    }

const ResultValue kValues[] = {
    RESULT(CommandResult::Ok, 0),
    RESULT(CommandResult::NotSent, 1),
    RESULT(CommandResult::NoReply, 2),
    RESULT(CommandResult::WrongCode, 3),
    RESULT(OpenResult::Ok, 0),
    RESULT(OpenResult::NoSocket, 1),
    RESULT(OpenResult::NotConnected, 2),
    RESULT(OpenResult::NoGreeting, 3),
    RESULT(OpenResult::BadGreeting, 4),
    RESULT(LoginResult::Ok, 0),
    RESULT(LoginResult::UserNotSent, 1),
    RESULT(LoginResult::UserNoReply, 2),
    RESULT(LoginResult::UserRefused, 3),
    RESULT(LoginResult::PassNotSent, 4),
    RESULT(LoginResult::PassNoReply, 5),
    RESULT(LoginResult::PassRefused, 6),
    RESULT(EnvelopeResult::Ok, 0),
    RESULT(EnvelopeResult::HeloRefused, 3),
    RESULT(EnvelopeResult::MailFromNotSent, 11),
    RESULT(EnvelopeResult::RcptToRefused, 23),
    RESULT(EnvelopeResult::DataNoReply, 32),
    RESULT(EnvelopeResult::FromLineNotSent, 41),
    RESULT(EnvelopeResult::ToLineNotSent, 42),
    RESULT(EnvelopeResult::SubjectLineNotSent, 43),
    RESULT(SendCode::NoSession, 0),
    RESULT(SendCode::HeloNotSent, -1),
    RESULT(SendCode::HeloNoReply, -2),
    RESULT(SendCode::HeloRefused, -3),
    RESULT(SendCode::MailFromNotSent, -11),
    RESULT(SendCode::MailFromNoReply, -12),
    RESULT(SendCode::MailFromRefused, -13),
    RESULT(SendCode::RcptToNotSent, -21),
    RESULT(SendCode::RcptToNoReply, -22),
    RESULT(SendCode::RcptToRefused, -23),
    RESULT(SendCode::DataNotSent, -31),
    RESULT(SendCode::DataNoReply, -32),
    RESULT(SendCode::DataRefused, -33),
    RESULT(SendCode::FromLineNotSent, -41),
    RESULT(SendCode::ToLineNotSent, -42),
    RESULT(SendCode::SubjectLineNotSent, -43),
    RESULT(AttemptResult::Sent, 0),
    RESULT(AttemptResult::Failed, 1),
};

class ResultFamilies : public testing::TestWithParam<ResultValue>
{
};

TEST_P(ResultFamilies, KeepTheirNumbers)
{
    EXPECT_EQ(GetParam().nActual, GetParam().nExpected) << GetParam().pszName;
}

INSTANTIATE_TEST_SUITE_P(All, ResultFamilies, testing::ValuesIn(kValues),
                         [](const testing::TestParamInfo<ResultValue>& paramInfo) {
                             std::string strName = paramInfo.param.pszName;
                             std::erase(strName, ':');
                             return strName;
                         });
} // namespace
