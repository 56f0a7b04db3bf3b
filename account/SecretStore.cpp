#include "account/SecretStore.h"

#include <libsecret/secret.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace vendrix {
namespace {

// Lookups and removals do not match on the schema's name: a locked keyring hides the names of
// its items until it is unlocked, and its items must still be found (and so unlocked, or
// reported as locked). The "application" attribute marks the items as Vendrix's instead.
const SecretSchema kSchema = {
    keyring_defaults::kSchemaName,
    SECRET_SCHEMA_DONT_MATCH_NAME,
    {
        {"application", SECRET_SCHEMA_ATTRIBUTE_STRING},
        {"app_key", SECRET_SCHEMA_ATTRIBUTE_STRING},
        {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
    },
};

// The attributes that name Vendrix's item of `app_key`, or all of Vendrix's items when it is
// empty. The table borrows the strings.
class Attributes {
 public:
  explicit Attributes(const std::string& app_key)
      : table_(g_hash_table_new(g_str_hash, g_str_equal)) {
    g_hash_table_insert(table_, const_cast<char*>("application"),
                        const_cast<char*>(keyring_defaults::kApplication));
    if (!app_key.empty()) {
      g_hash_table_insert(table_, const_cast<char*>("app_key"), const_cast<char*>(app_key.c_str()));
    }
  }
  ~Attributes() { g_hash_table_unref(table_); }
  Attributes(const Attributes&) = delete;
  Attributes& operator=(const Attributes&) = delete;

  GHashTable* Get() const { return table_; }

 private:
  GHashTable* table_;
};

// Owns the GError of one call.
class Error {
 public:
  ~Error() {
    if (error_ != nullptr) g_error_free(error_);
  }
  GError** Out() { return &error_; }
  bool Failed() const { return error_ != nullptr; }

  // Its kind, with libsecret's words as the detail.
  SecretError Kind() const {
    const std::string message = error_->message != nullptr ? error_->message : "";
    const auto dbus = [&](GDBusError code) { return g_error_matches(error_, G_DBUS_ERROR, code); };
    // A keyring that is locked, or that the default alias names but does not exist (no login
    // keyring yet, and no prompt that could create it).
    if (g_error_matches(error_, SECRET_ERROR, SECRET_ERROR_IS_LOCKED) ||
        g_error_matches(error_, SECRET_ERROR, SECRET_ERROR_NO_SUCH_OBJECT) ||
        dbus(G_DBUS_ERROR_UNKNOWN_OBJECT)) {
      return {SecretFailure::kLocked,
              "no password prompt could unlock or create it (" + message + ")"};
    }
    if (dbus(G_DBUS_ERROR_ACCESS_DENIED) || dbus(G_DBUS_ERROR_AUTH_FAILED)) {
      return {SecretFailure::kRefused, message};
    }
    // No session bus (G_IO_ERROR; G_SPAWN_ERROR when starting one with dbus-launch failed), or a
    // bus on which nothing provides the Secret Service.
    if (error_->domain == G_IO_ERROR || error_->domain == G_SPAWN_ERROR ||
        dbus(G_DBUS_ERROR_SERVICE_UNKNOWN) || dbus(G_DBUS_ERROR_NAME_HAS_NO_OWNER) ||
        dbus(G_DBUS_ERROR_SPAWN_CHILD_EXITED) || dbus(G_DBUS_ERROR_SPAWN_EXEC_FAILED) ||
        dbus(G_DBUS_ERROR_SPAWN_FAILED) || dbus(G_DBUS_ERROR_NO_SERVER) ||
        dbus(G_DBUS_ERROR_DISCONNECTED) || dbus(G_DBUS_ERROR_NO_REPLY) ||
        dbus(G_DBUS_ERROR_TIMEOUT) || dbus(G_DBUS_ERROR_TIMED_OUT) ||
        dbus(G_DBUS_ERROR_FILE_NOT_FOUND) || dbus(G_DBUS_ERROR_BAD_ADDRESS)) {
      return {SecretFailure::kUnreachable, message};
    }
    return {SecretFailure::kOther, message};
  }

 private:
  GError* error_ = nullptr;
};

template <typename T>
using GObjectRef = std::unique_ptr<T, void (*)(gpointer)>;

// Owns a list of libsecret's objects.
class ObjectList {
 public:
  ObjectList() = default;
  ~ObjectList() { g_list_free_full(list_, g_object_unref); }
  ObjectList(const ObjectList&) = delete;
  ObjectList& operator=(const ObjectList&) = delete;
  GList** Out() { return &list_; }
  GList* Get() const { return list_; }

 private:
  GList* list_ = nullptr;
};

// What a call's worker found.
struct Outcome {
  SecretLookup lookup = SecretLookup::kFailed;  // kFound: it did what was asked
  std::string secret;
  SecretError error;
};

// What one call's worker and its caller share. The caller stops waiting at the deadline; the
// worker may go on after that (behind a prompt the user is still looking at) and then does
// nothing more that matters.
struct CallState {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  bool abandoned = false;  // the caller has stopped waiting
  bool prompting = false;  // the worker is waiting for an unlock prompt to end
  Outcome outcome;

  bool Abandoned() {
    std::lock_guard lock(mutex);
    return abandoned;
  }
  void SetPrompting(bool now) {
    std::lock_guard lock(mutex);
    prompting = now;
  }
};

using Work = std::function<Outcome(CallState&)>;

// Runs `work` on a thread of its own and waits for it for kTimeout. A call that has not ended
// by then is left to end on its own, never cancelled: cancelling it would dismiss the password
// prompt it may be waiting for, and gnome-keyring-daemon 42 aborts when an unlock prompt is
// dismissed while it is shown (and libsecret's call then never returns). The prompt stays for
// the user to answer or close; the work checks Abandoned() before it changes anything.
Outcome WithinTimeout(Work work) {
  auto state = std::make_shared<CallState>();
  std::thread([state, work = std::move(work)] {
    Outcome outcome = work(*state);
    std::lock_guard lock(state->mutex);
    state->outcome = std::move(outcome);
    state->finished = true;
    state->done.notify_all();
  }).detach();
  std::unique_lock lock(state->mutex);
  if (state->done.wait_for(lock, keyring_defaults::kTimeout, [&] { return state->finished; })) {
    return std::move(state->outcome);
  }
  state->abandoned = true;
  const std::string seconds = std::to_string(keyring_defaults::kTimeout.count());
  Outcome late;
  late.error = state->prompting
                   ? SecretError{SecretFailure::kLocked,
                                 "nobody answered its password prompt within " + seconds + " s"}
                   : SecretError{SecretFailure::kUnreachable,
                                 "the Secret Service did not answer within " + seconds + " s"};
  return late;
}

// The Secret Service, or null with `outcome.error`.
GObjectRef<SecretService> Connect(Outcome& outcome) {
  Error failure;
  SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, failure.Out());
  if (failure.Failed()) outcome.error = failure.Kind();
  return {service, g_object_unref};
}

// Vendrix's items named by `attributes`, locked ones included, without unlocking any. False
// with `outcome.error` when the service could not be asked.
bool Search(SecretService* service, const Attributes& attributes, ObjectList& items,
            Outcome& outcome) {
  Error failure;
  *items.Out() = secret_service_search_sync(service, &kSchema, attributes.Get(),
                                            SECRET_SEARCH_ALL, nullptr, failure.Out());
  if (failure.Failed()) {
    outcome.error = failure.Kind();
    return false;
  }
  return true;
}

// Unlocks `objects` (items or collections), which may show the user a password prompt and
// waits for it to end, however long that takes (the caller stops waiting at its deadline).
// True when every one of them is unlocked; false with `outcome.error` otherwise.
bool Unlock(SecretService* service, GList* objects, CallState& state, Outcome& outcome) {
  if (objects == nullptr) return true;
  state.SetPrompting(true);
  ObjectList unlocked;
  Error failure;
  // No GCancellable, on purpose: see WithinTimeout.
  int count = secret_service_unlock_sync(service, objects, nullptr, unlocked.Out(),
                                         failure.Out());
  state.SetPrompting(false);
  if (failure.Failed()) {
    outcome.error = failure.Kind();
    return false;
  }
  if (count < static_cast<int>(g_list_length(objects))) {
    outcome.error = {SecretFailure::kLocked,
                     "no password prompt could be shown, or it was dismissed"};
    return false;
  }
  return true;
}

Outcome LookUp(const std::string& app_key, CallState& state) {
  Outcome outcome;
  GObjectRef<SecretService> service = Connect(outcome);
  if (!service) return outcome;
  Attributes attributes(app_key);
  ObjectList items;
  if (!Search(service.get(), attributes, items, outcome)) return outcome;
  if (items.Get() == nullptr) {
    outcome.lookup = SecretLookup::kNotStored;
    return outcome;
  }
  auto* item = static_cast<SecretItem*>(items.Get()->data);
  if (secret_item_get_locked(item)) {
    GList one = {item, nullptr, nullptr};
    if (!Unlock(service.get(), &one, state, outcome)) return outcome;
    if (state.Abandoned()) return outcome;
  }
  Error failure;
  if (!secret_item_load_secret_sync(item, nullptr, failure.Out())) {
    outcome.error = failure.Failed() ? failure.Kind()
                                     : SecretError{SecretFailure::kOther, "no secret came back"};
    return outcome;
  }
  SecretValue* value = secret_item_get_secret(item);
  const char* text = value != nullptr ? secret_value_get_text(value) : nullptr;
  if (text == nullptr) {
    outcome.error = {SecretFailure::kOther, "the stored secret is not text"};
  } else {
    outcome.secret = text;
    outcome.lookup = SecretLookup::kFound;
  }
  if (value != nullptr) secret_value_unref(value);
  return outcome;
}

Outcome Store(const std::string& app_key, const std::string& secret, CallState& state) {
  Outcome outcome;
  GObjectRef<SecretService> service = Connect(outcome);
  if (!service) return outcome;
  Error failure;
  GObjectRef<SecretCollection> collection(
      secret_collection_for_alias_sync(service.get(), SECRET_COLLECTION_DEFAULT,
                                       SECRET_COLLECTION_NONE, nullptr, failure.Out()),
      g_object_unref);
  if (failure.Failed()) {
    outcome.error = failure.Kind();
    return outcome;
  }
  if (!collection) {
    outcome.error = {SecretFailure::kLocked, "there is no default keyring"};
    return outcome;
  }
  if (secret_collection_get_locked(collection.get())) {
    GList one = {collection.get(), nullptr, nullptr};
    if (!Unlock(service.get(), &one, state, outcome)) return outcome;
  }
  // Unlocked after the caller gave up: it has said that nothing was stored, so nothing is.
  if (state.Abandoned()) return outcome;
  Attributes attributes(app_key);
  const std::string label = "Vendrix application secret (application key " + app_key + ")";
  const char* path = g_dbus_proxy_get_object_path(G_DBUS_PROXY(collection.get()));
  if (!secret_password_storev_sync(&kSchema, attributes.Get(), path, label.c_str(),
                                   secret.c_str(), nullptr, failure.Out())) {
    outcome.error = failure.Failed()
                        ? failure.Kind()
                        : SecretError{SecretFailure::kOther, "the Secret Service did not store it"};
    return outcome;
  }
  outcome.lookup = SecretLookup::kFound;
  return outcome;
}

Outcome Clear(const std::string& app_key, CallState& state) {
  Outcome outcome;
  GObjectRef<SecretService> service = Connect(outcome);
  if (!service) return outcome;
  Attributes attributes(app_key);
  ObjectList items;
  if (!Search(service.get(), attributes, items, outcome)) return outcome;
  GList* locked = nullptr;
  for (GList* at = items.Get(); at != nullptr; at = at->next) {
    if (secret_item_get_locked(static_cast<SecretItem*>(at->data))) {
      locked = g_list_prepend(locked, at->data);
    }
  }
  bool unlocked = Unlock(service.get(), locked, state, outcome);
  g_list_free(locked);
  if (!unlocked) {
    outcome.error.detail += "; the secret stays in it";
    return outcome;
  }
  if (state.Abandoned()) return outcome;
  for (GList* at = items.Get(); at != nullptr; at = at->next) {
    Error failure;
    if (!secret_item_delete_sync(static_cast<SecretItem*>(at->data), nullptr, failure.Out()) &&
        failure.Failed()) {
      outcome.error = failure.Kind();
      return outcome;
    }
  }
  ObjectList left;
  if (!Search(service.get(), attributes, left, outcome)) return outcome;
  if (left.Get() != nullptr) {
    outcome.error = {SecretFailure::kLocked, "the secret stays in it"};
    return outcome;
  }
  outcome.lookup = SecretLookup::kFound;
  return outcome;
}

}  // namespace

std::string SecretError::Describe() const {
  std::string words;
  switch (kind) {
    case SecretFailure::kUnreachable: words = "no Secret Service could be reached"; break;
    case SecretFailure::kLocked:
      words =
          "the keyring (the login collection) does not exist or is locked, and was not unlocked";
      break;
    case SecretFailure::kRefused: words = "the Secret Service refused it"; break;
    case SecretFailure::kOther: words = "the Secret Service failed"; break;
    case SecretFailure::kNone: return detail;
  }
  return detail.empty() ? words : words + ": " + detail;
}

bool StoreSecret(const std::string& app_key, const std::string& secret, SecretError& error) {
  Outcome outcome =
      WithinTimeout([app_key, secret](CallState& state) { return Store(app_key, secret, state); });
  error = outcome.error;
  return outcome.lookup == SecretLookup::kFound;
}

SecretLookup LookUpSecret(const std::string& app_key, std::string& secret, SecretError& error) {
  Outcome outcome = WithinTimeout([app_key](CallState& state) { return LookUp(app_key, state); });
  secret = std::move(outcome.secret);
  error = outcome.error;
  return outcome.lookup;
}

bool ClearSecrets(const std::string& app_key, SecretError& error) {
  Outcome outcome = WithinTimeout([app_key](CallState& state) { return Clear(app_key, state); });
  error = outcome.error;
  return outcome.lookup == SecretLookup::kFound;
}

}  // namespace vendrix
