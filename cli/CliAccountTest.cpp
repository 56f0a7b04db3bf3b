#include "cli/CliAccountTest.h"

#include <cctype>
#include <iostream>

#include "app/AccountCheck.h"
#include "app/ShopFinder.h"
#include "app/TableText.h"
#include "cli/CliText.h"
#include "platform/CodePage.h"

namespace vendrix {
namespace {

// "the category call (taobao.itemcats.get)": what each step is called in the output.
std::string StepName(const AccountCheckStep& step, size_t index) {
  return std::string(index == 0 ? "the category call" : "the affiliate item search") + " (" +
         step.method + ")";
}

}  // namespace

int RunAccountTest(const std::vector<std::string>& args) {
  if (!args.empty()) return cli::UnexpectedArgument(args[0]);
  ShopFinder finder;
  // The start-up every command makes chooses the credentials and the nick; the category call
  // is the account test's own first step.
  if (!cli::StartUp(finder, true)) return cli::kUsage;
  const std::string nick = CellText(GbkToUtf8(finder.DefaultNick()));
  const std::string& key = finder.KeItemCond.app_key;
  std::cout << "app_key " << (key.empty() ? "(none)" : CellText(GbkToUtf8(key))) << ", nick "
            << nick << std::endl;

  AccountCheckOutcome outcome = CheckAccount(finder);
  for (size_t i = 0; i < outcome.steps.size(); ++i) {
    const AccountCheckStep& step = outcome.steps[i];
    std::string name = StepName(step, i);
    if (!step.ok) {
      std::cerr << "vendrix-cli: " << name << " failed after " << step.round_trip.count()
                << " ms: " << CellText(ExplainAccountFailure(step.failure, step.method).english)
                << "\n";
      return cli::kFailed;
    }
    name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    std::cout << name << " went through: ";
    if (i == 0) {
      std::cout << outcome.categories << " categories";
    } else if (outcome.click_addresses) {
      std::cout << "click addresses come back for " << nick;
    } else {
      std::cout << (outcome.items == 0 ? "no item found" : "no click address");
    }
    std::cout << ", round trip " << step.round_trip.count() << " ms" << std::endl;
  }
  if (!outcome.Passed()) {
    std::cerr << "vendrix-cli: "
              << CellText(ExplainMissingClickAddresses(GbkToUtf8(finder.DefaultNick()),
                                                       outcome.items)
                              .english)
              << "\n";
    return cli::kFailed;
  }
  return cli::kOk;
}

}  // namespace vendrix
