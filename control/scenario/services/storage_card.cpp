// Storage cards in the scenario language: mounting and removing a card; the card listener and the search
// for a card.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include "lexer.h"
#include "service.h"
#include "statement_makers.h"

namespace scenario {
namespace {

// Storage-card kinds: sd, cf, other.
const NameTable& CardTypes() {
  static const NameTable table("a card type", pndhal::kCardTypeNames);
  return table;
}

Statement ParseCard(Cursor& cursor) {
  const bool mount = cursor.Choice({"mount", "remove"}) == 0;
  const std::string name = cursor.Take("a card folder name").text;
  return Action(std::string(mount ? "card mount " : "card remove ") + QuoteWord(name), [=] {
    return mount ? Unless(pndsim::MountCard(name), "the folder is mounted already or its name is not valid")
                 : Unless(pndsim::RemoveCard(name), "no such folder is mounted");
  });
}

std::string CardAnswer(long) {
  CardInfo card{};
  if (!SearchStorageCard(card)) return "false";
  return QuoteWord(pndsim::ToUtf8(card.path.c_str())) + " " + CardTypes().NameOf(card.cardType);
}

// expect card mounted|removed FOLDER [TYPE]
void CardPattern(CallPattern& pattern) {
  pattern.Choice({"mounted", "removed"});
  pattern.Field([&] { return pattern.Input().Take("a card folder name").text; });
  if (!pattern.AtEnd()) pattern.Named(CardTypes(), 0, 255);
}

ListenerCall CardCall(CardInfo const& card) {
  const std::string folder = pndsim::ToUtf8(card.path.c_str());
  return {{TextField("change", card.removed ? "removed" : "mounted"), TextField("folder", folder),
           TextField("type", CardTypes().NameOf(card.cardType))},
          std::string(card.removed ? "removed " : "mounted ") + QuoteWord(folder) + " " +
              CardTypes().NameOf(card.cardType)};
}

ServiceDescription Describe() {
  return {
      .verbs = {{150,
                 {"card", "card mount|remove NAME", "mount or remove a storage-card folder"},
                 ParseCard}},
      .queries = {{60, "SearchStorageCard", false, "\"FOLDER\" TYPE", CardAnswer}},
      .listeners = {Listener<ICardListener>(CardPattern, CardCall)},
      .listening = [] { return pndsim::DeviceNotificationCount() > 0; },
  };
}

const Service kStorageCard(Describe);

}  // namespace
}  // namespace scenario
