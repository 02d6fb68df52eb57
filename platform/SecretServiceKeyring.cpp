#include "platform/SecretServiceKeyring.h"

#include "platform/CredentialStore.h"

#include <libsecret/secret.h>

namespace qv {
namespace {

const SecretSchema* accountSchema()
{
    static const SecretSchema schema = {
        "org.quendle.SmbAccount",
        SECRET_SCHEMA_NONE,
        {
            {"server", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"domain", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    };
    return &schema;
}

std::string attribute(GHashTable* attributes, const char* name)
{
    const auto* value = static_cast<const char*>(g_hash_table_lookup(attributes, name));
    return value ? value : "";
}

} // namespace

SecretServiceKeyring::SecretServiceKeyring() : m_cancel(g_cancellable_new()) {}

SecretServiceKeyring::~SecretServiceKeyring() { g_object_unref(m_cancel); }

std::optional<SmbCredentials> SecretServiceKeyring::lookup(const std::string& server)
{
    const std::string key = CredentialStore::keyOf(server);
    GError* error = nullptr;
    GList* items = secret_password_search_sync(
        accountSchema(), static_cast<SecretSearchFlags>(SECRET_SEARCH_LOAD_SECRETS | SECRET_SEARCH_UNLOCK), m_cancel,
        &error, "server", key.c_str(), nullptr);
    if (error) {
        // No keyring service, a locked keyring the user did not open, a cancel: the
        // user is asked instead.
        g_error_free(error);
        return std::nullopt;
    }
    std::optional<SmbCredentials> found;
    for (GList* it = items; it && !found; it = it->next) {
        auto* item = static_cast<SecretRetrievable*>(it->data);
        SecretValue* secret = secret_retrievable_retrieve_secret_sync(item, m_cancel, nullptr);
        if (!secret)
            continue;
        GHashTable* attributes = secret_retrievable_get_attributes(item);
        SmbCredentials account;
        account.user = attribute(attributes, "user");
        account.domain = attribute(attributes, "domain");
        gsize length = 0;
        const gchar* password = secret_value_get(secret, &length);
        account.password.assign(password ? password : "", password ? length : 0);
        g_hash_table_unref(attributes);
        secret_value_unref(secret);
        found = account;
    }
    g_list_free_full(items, g_object_unref);
    return found;
}

bool SecretServiceKeyring::save(const std::string& server, const SmbCredentials& credentials)
{
    const std::string key = CredentialStore::keyOf(server);
    const std::string label = "Quendle: \\\\" + server;
    // One item per server: the old one goes whatever user it was for.
    secret_password_clear_sync(accountSchema(), m_cancel, nullptr, "server", key.c_str(), nullptr);
    GError* error = nullptr;
    const gboolean stored = secret_password_store_sync(
        accountSchema(), SECRET_COLLECTION_DEFAULT, label.c_str(), credentials.password.c_str(), m_cancel, &error,
        "server", key.c_str(), "user", credentials.user.c_str(), "domain", credentials.domain.c_str(), nullptr);
    if (error)
        g_error_free(error);
    return stored;
}

void SecretServiceKeyring::cancel() { g_cancellable_cancel(m_cancel); }

} // namespace qv
