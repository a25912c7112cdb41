#include "passwords.h"

#include "dberror.h"

#include <sodium.h>
#include <sqlite3.h>

namespace Passwords {

namespace {

bool ready()
{
    static const bool initialised = sodium_init() >= 0;
    return initialised;
}

QByteArray folded(const QString& password)
{
    return password.toCaseFolded().toUtf8();
}

}  // namespace

QString hash(const QString& password)
{
    const QByteArray text = folded(password);
    char out[crypto_pwhash_STRBYTES];
    // The interactive limits: about a tenth of a second and 64 MiB, once per login or change.
    if (!ready()
        || crypto_pwhash_str(out, text.constData(), static_cast<unsigned long long>(text.size()),
                             crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE)
               != 0)
        throw DbError(DbError::Other, SQLITE_NOMEM, QStringLiteral("cannot hash a password (out of memory)"));
    return QString::fromLatin1(out);
}

bool matches(const QString& stored, const QString& typed)
{
    if (!isHash(stored) || !ready())
        return false;
    const QByteArray hashed = stored.toLatin1();
    const QByteArray text = folded(typed);
    return crypto_pwhash_str_verify(hashed.constData(), text.constData(), static_cast<unsigned long long>(text.size())) == 0;
}

bool isHash(const QString& stored)
{
    return stored.size() < crypto_pwhash_STRBYTES && stored.startsWith(QLatin1String(crypto_pwhash_STRPREFIX));
}

}  // namespace Passwords
