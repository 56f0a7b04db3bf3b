#include "account/SecretStore.h"

#include <libsecret/secret.h>

#include <condition_variable>
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

// A GCancellable that cancels itself once kTimeout has passed, for one call.
class Deadline {
 public:
  Deadline() : cancellable_(g_cancellable_new()) {
    watcher_ = std::thread([this] {
      std::unique_lock lock(mutex_);
      if (!done_.wait_for(lock, keyring_defaults::kTimeout, [this] { return finished_; })) {
        g_cancellable_cancel(cancellable_);
      }
    });
  }
  ~Deadline() {
    {
      std::lock_guard lock(mutex_);
      finished_ = true;
    }
    done_.notify_one();
    watcher_.join();
    g_object_unref(cancellable_);
  }
  Deadline(const Deadline&) = delete;
  Deadline& operator=(const Deadline&) = delete;

  GCancellable* Get() const { return cancellable_; }

 private:
  GCancellable* cancellable_;
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  std::thread watcher_;
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

  // What went wrong, for the user.
  std::string Describe() const {
    const std::string message = error_->message != nullptr ? error_->message : "";
    if (g_error_matches(error_, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
      return "the Secret Service did not answer within " +
             std::to_string(keyring_defaults::kTimeout.count()) +
             " s (a locked keyring waiting to be unlocked?)";
    }
    if (g_error_matches(error_, SECRET_ERROR, SECRET_ERROR_IS_LOCKED)) {
      return "the keyring is locked and could not be unlocked: " + message;
    }
    // No session bus (G_IO_ERROR), or a bus on which nothing provides the Secret Service.
    if (error_->domain == G_IO_ERROR ||
        g_error_matches(error_, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
        g_error_matches(error_, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER) ||
        g_error_matches(error_, G_DBUS_ERROR, G_DBUS_ERROR_SPAWN_CHILD_EXITED) ||
        g_error_matches(error_, G_DBUS_ERROR, G_DBUS_ERROR_SPAWN_EXEC_FAILED)) {
      return "no Secret Service could be reached: " + message;
    }
    return "the Secret Service failed: " + message;
  }

 private:
  GError* error_ = nullptr;
};

// How many of the items named by `attributes` the keyrings hold, locked ones included, without
// unlocking any; -1 with `error` when the Secret Service could not be asked.
int CountItems(const Attributes& attributes, std::string& error) {
  Deadline deadline;
  Error failure;
  GList* items = secret_password_searchv_sync(&kSchema, attributes.Get(), SECRET_SEARCH_ALL,
                                              deadline.Get(), failure.Out());
  if (failure.Failed()) {
    error = failure.Describe();
    return -1;
  }
  int count = static_cast<int>(g_list_length(items));
  g_list_free_full(items, g_object_unref);
  return count;
}

}  // namespace

bool StoreSecret(const std::string& app_key, const std::string& secret, std::string& error) {
  error.clear();
  Attributes attributes(app_key);
  const std::string label = "Vendrix application secret (application key " + app_key + ")";
  Deadline deadline;
  Error failure;
  if (!secret_password_storev_sync(&kSchema, attributes.Get(), SECRET_COLLECTION_DEFAULT,
                                   label.c_str(), secret.c_str(), deadline.Get(),
                                   failure.Out())) {
    error = failure.Failed() ? failure.Describe() : "the Secret Service did not store it";
    return false;
  }
  return true;
}

SecretLookup LookUpSecret(const std::string& app_key, std::string& secret, std::string& error) {
  secret.clear();
  error.clear();
  Attributes attributes(app_key);
  gchar* found = nullptr;
  {
    Deadline deadline;
    Error failure;
    found = secret_password_lookupv_sync(&kSchema, attributes.Get(), deadline.Get(),
                                         failure.Out());
    if (failure.Failed()) {
      error = failure.Describe();
      return SecretLookup::kFailed;
    }
  }
  if (found != nullptr) {
    secret = found;
    secret_password_free(found);  // wiped, not only freed
    return SecretLookup::kFound;
  }
  // Nothing came back: either there is nothing, or its keyring stayed locked (the prompt could
  // not be shown, or was dismissed).
  int stored = CountItems(attributes, error);
  if (stored < 0) return SecretLookup::kFailed;
  if (stored == 0) return SecretLookup::kNotStored;
  error = "the keyring that holds it is locked and could not be unlocked";
  return SecretLookup::kFailed;
}

bool ClearSecrets(const std::string& app_key, std::string& error) {
  error.clear();
  Attributes attributes(app_key);
  {
    Deadline deadline;
    Error failure;
    // False without an error only says that nothing was removed.
    secret_password_clearv_sync(&kSchema, attributes.Get(), deadline.Get(), failure.Out());
    if (failure.Failed()) {
      error = failure.Describe();
      return false;
    }
  }
  int left = CountItems(attributes, error);
  if (left < 0) return false;
  if (left > 0) {
    error = "the keyring that holds it is locked and could not be unlocked; the secret stays in it";
    return false;
  }
  return true;
}

}  // namespace vendrix
