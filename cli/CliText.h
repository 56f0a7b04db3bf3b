// What the commands of vendrix-cli share: exit statuses, usage complaints, and the forms in
// which values from the network and from the user cross the terminal boundary.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

class ShopFinder;
class TXMLData;
struct CallFailure;

namespace cli {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

// "vendrix-cli: <problem>" on stderr; returns kUsage.
int Usage(const std::string& problem);

// The complaint about an argument the command has no place for: "unknown option '--x'" when
// it reads as an option, else "unexpected argument 'x'"; returns kUsage.
int UnexpectedArgument(const std::string& arg);

// `utf8` without the blanks around it (ASCII white space, the no-break space and the
// ideographic space a Chinese input method types), as the window trims what is typed into it.
std::string_view TrimBlanks(std::string_view utf8);

// The GBK form of `utf8`, a value typed by the user; nullopt, after a usage complaint naming
// `what`, when a character of it has no GBK form and would go out as "?".
std::optional<std::string> GbkArgument(const std::string& utf8, const std::string& what);

// Why a platform call failed, in one line fit for the terminal.
std::string Why(const CallFailure& failure);

// "the configuration document at <address> could not be read: <why>" on stderr.
void ReportUnreadableConfiguration(const std::string& address, const TXMLData& data);

// Start-up as the window runs it, or with `configuration_only` only its credentials and
// configuration (for the commands that need no categories). What it passed over among the
// user's own credentials is said on stderr. A configuration that cannot be read and leaves no
// credentials is reported but not fatal, as in the window: the calls that follow then fail;
// with credentials of the user's own nothing is said. False, after the usage complaint, when
// the VENDRIX_APP_* variables are bad usage: nothing has been sent.
bool StartUp(ShopFinder& finder, bool configuration_only = false);

}  // namespace cli
}  // namespace vendrix
