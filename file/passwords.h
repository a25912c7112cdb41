#pragma once

#include <QString>

// The members' passwords as the file keeps them: never as typed, but as a salted, deliberately slow
// hash (libsodium's crypto_pwhash, Argon2id), so that a copy of the file (a backup on a USB stick)
// gives nobody the passwords. Passwords compare without letter case: what is hashed is the
// case-folded text.
namespace Passwords {

// The text kept in 成员.密码 for a password ("$argon2id$v=19$m=...", salt and parameters included).
// Raises DbError when the library cannot hash (out of memory).
QString hash(const QString& password);

// Whether `typed` is the password that `stored` (from hash()) was made from, letter case aside. A
// stored text that is no such hash (empty, NULL, a password another tool wrote as typed) matches
// nothing.
bool matches(const QString& stored, const QString& typed);

// Whether a stored text is one hash() makes.
bool isHash(const QString& stored);

}  // namespace Passwords
