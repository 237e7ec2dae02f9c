#include "workshop/result_text.h"

#include <cstddef>
#include <iterator>

namespace {

// Indexed by the code itself; every code from 0 to 106 has its text.
constexpr const char* kResultTexts[] = {
    /* 0 */ "NONE",
    /* 1 */ "success",
    /* 2 */ "generic failure",
    /* 3 */ "no/failed network connection",
    /* 4 */ "OBSOLETE - removed",
    /* 5 */ "password/ticket is invalid",
    /* 6 */ "same user logged in elsewhere",
    /* 7 */ "protocol version is incorrect",
    /* 8 */ "a parameter is incorrect",
    /* 9 */ "file was not found",
    /* 10 */ "called method busy - action not taken",
    /* 11 */ "called object was in an invalid state",
    /* 12 */ "name is invalid",
    /* 13 */ "email is invalid",
    /* 14 */ "name is not unique",
    /* 15 */ "access is denied",
    /* 16 */ "operation timed out",
    /* 17 */ "VAC2 banned",
    /* 18 */ "account not found",
    /* 19 */ "steamID is invalid",
    /* 20 */ "The requested service is currently unavailable",
    /* 21 */ "The user is not logged on",
    /* 22 */ "Request is pending (may be in process, or waiting on third party)",
    /* 23 */ "Encryption or Decryption failed",
    /* 24 */ "Insufficient privilege",
    /* 25 */ "Too much of a good thing",
    /* 26 */ "Access has been revoked (used for revoked guest passes)",
    /* 27 */ "License/Guest pass the user is trying to access is expired",
    /* 28 */ "Guest pass has already been redeemed by account, cannot be acked again",
    "The request is a duplicate and the action has already occurred in the past, ignored this "
    /* 29 */ "time",
    /* 30 */ "All the games in this guest pass redemption request are already owned by the user",
    /* 31 */ "IP address not found",
    /* 32 */ "failed to write change to the data store",
    /* 33 */ "failed to acquire access lock for this operation",
    /* 34 */ "logon session replaced",
    /* 35 */ "connect failed",
    /* 36 */ "handshake failed",
    /* 37 */ "IO failure",
    /* 38 */ "remote disconnect",
    /* 39 */ "failed to find the shopping cart requested",
    /* 40 */ "a user didn't allow it",
    /* 41 */ "target is ignoring sender",
    /* 42 */ "nothing matching the request found",
    /* 43 */ "account disabled",
    /* 44 */ "this service is not accepting content changes right now",
    /* 45 */ "account doesn't have value, so this feature isn't available",
    /* 46 */ "allowed to take this action, but only because requester is admin",
    /* 47 */ "A Version mismatch in content transmitted within the Steam protocol.",
    /* 48 */ "The current CM can't service the user making a request, user should try another.",
    /* 49 */ "You are already logged in elsewhere, this cached credential login has failed.",
    /* 50 */ "You are already logged in elsewhere, you must wait",
    /* 51 */ "Long running operation (content download) suspended/paused",
    /* 52 */ "Operation canceled (typically by user: content download)",
    /* 53 */ "Operation canceled because data is ill formed or unrecoverable",
    /* 54 */ "Operation canceled - not enough disk space.",
    /* 55 */ "an remote call or IPC call failed",
    /* 56 */ "Password could not be verified as it's unset server side",
    /* 57 */ "External account (PSN, Facebook...) is not linked to a Steam account",
    /* 58 */ "PSN ticket was invalid",
    // Text 59 is one literal over two lines, not two texts.
    // NOLINTBEGIN(bugprone-suspicious-missing-comma)
    /* 59 */
    "External account (PSN, Facebook...) is already linked to some other account, "
    "must explicitly request to replace/delete the link first",
    // NOLINTEND(bugprone-suspicious-missing-comma)
    /* 60 */ "The sync cannot resume due to a conflict between the local and remote files",
    /* 61 */ "The requested new password is not legal",
    /* 62 */ "new value is the same as the old one ( secret question and answer )",
    /* 63 */ "account login denied due to 2nd factor authentication failure",
    /* 64 */ "The requested new password is not legal",
    /* 65 */ "account login denied due to auth code invalid",
    /* 66 */ "account login denied due to 2nd factor auth failure - and no mail has been sent",
    /* 67 */ "hardware not capable of IPT",
    /* 68 */ "IPT init error",
    /* 69 */ "operation failed due to parental control restrictions for current user",
    /* 70 */ "Facebook query returned an error",
    /* 71 */ "account login denied due to auth code expired",
    /* 72 */ "IP login restriction failed",
    /* 73 */ "account locked down",
    /* 74 */ "account logon denied, verified email required",
    /* 75 */ "no matching URL",
    /* 76 */ "parse failure, missing field, etc.",
    /* 77 */ "The user cannot complete the action until they re-enter their password",
    /* 78 */ "the value entered is outside the acceptable range",
    /* 79 */ "something happened that we didn't expect to ever happen",
    /* 80 */ "The requested service has been configured to be unavailable",
    /* 81 */ "The set of files submitted to the CEG server are not valid !",
    /* 82 */ "The device being used is not allowed to perform this action",
    /* 83 */ "The action could not be complete because it is region restricted",
    "Temporary rate limit exceeded, try again later, different from k_EResultLimitExceeded "
    /* 84 */ "which may be permanent",
    /* 85 */ "Need two-factor code to login",
    /* 86 */ "The thing we're trying to access has been deleted",
    /* 87 */ "login attempt failed, try to throttle response to possible attacker",
    /* 88 */ "two factor code mismatch",
    /* 89 */ "activation code for two-factor didn't match",
    /* 90 */ "account has been associated with multiple partners",
    /* 91 */ "data not modified",
    /* 92 */ "the account does not have a mobile device associated with it",
    /* 93 */ "the time presented is out of range or tolerance",
    /* 94 */ "SMS code failure (no match, none pending, etc.)",
    /* 95 */ "Too many accounts access this resource",
    /* 96 */ "Too many changes to this account",
    /* 97 */ "Too many changes to this phone",
    /* 98 */ "Cannot refund to payment method, must use wallet",
    /* 99 */ "Cannot send an email",
    /* 100 */ "Can't perform operation till payment has settled",
    /* 101 */ "Needs to provide a valid captcha",
    /* 102 */ "a game server login token owned by this token's owner has been banned",
    "game server owner is denied for other reason (account lock, community ban, vac ban, "
    /* 103 */ "missing phone)",
    /* 104 */ "the type of thing we were requested to act on is invalid",
    /* 105 */ "the ip address has been banned from taking this action",
    /* 106 */ "this token has expired from disuse; can be reset for use",
};

static_assert(std::size(kResultTexts) == 107, "one text for every code from 0 to 106");

}  // namespace

const char* ResultText(int32_t code) {
  if (code < 0 || static_cast<size_t>(code) >= std::size(kResultTexts)) {
    return "UNKNOWN";
  }
  return kResultTexts[code];
}
