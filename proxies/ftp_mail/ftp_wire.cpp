// The string table of the numbered replies.
#include "proxies/ftp_mail/ftp_wire.h"

namespace qlm::ftp {

const char* ReplyText(int id) {
  switch (id) {
    case kReplyWelcome:
      return kTextWelcome;
    case kReplyOffline:
      return kTextOffline;
    case kReplyGoodBye:
      return kTextGoodBye;
    case kReplyTimeOut:
      return kTextTimeOut;
    case kReplyLocalError:
      return kTextLocalError;
    case kReplyUserCommand:
      return kTextUserCommand;
    case kReplySyntaxError:
      return kTextSyntaxError;
    case kReplyUnavailable:
      return kTextUnavailable;
    case kReplyNotImplemented:
      return kTextNotImplemented;
    case kReplyLimited:
      return kTextLimitedReply;
    default:
      return nullptr;
  }
}

}  // namespace qlm::ftp
