// SendLog.h - the records of every send attempt: an entry in the monthly send log and a keep copy
// of the composed body, both below the program folder.
#pragma once
#include "app/Records.h"
#include "app/TarvellDoc.h"

#include <ctime>
#include <string>

// The result of one send attempt: what the log entry's mark shows.
enum class AttemptResult : int
{
    Sent = 0,
    Failed = 1,
};

class CSendLog
{
  public:
    // The files go below the document's program folder.
    explicit CSendLog(const CTarvellDoc& doc) : m_doc(doc) {}

    // Appends the attempt's entry to log/Tarvell_YYYYMM.txt (the month of timeSend).
    void WriteSendLog(AttemptResult result, std::time_t timeSend, const SendRequest& request);

    // Appends strBody to keep/YYYYMMDD_HHMMSS(NN)_NAME.txt. In NAME, "/", control characters and
    // bytes that are not CP932 text become "_", and the name is cut on a character boundary so
    // that the path fits 255 bytes and the file name 255 bytes of UTF-8: a keep copy never lands
    // outside keep/, and a member's name never raises the file error.
    void WriteKeepCopy(int nSeq, std::time_t timeSend, const std::string& strBody,
                       const SendRequest& request);

  private:
    const CTarvellDoc& m_doc;
};
