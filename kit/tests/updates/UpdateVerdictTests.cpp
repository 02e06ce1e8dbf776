#include "DovraneKit/updates/UpdateVerdict.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <set>
#include <vector>

using namespace dovrane;
using dovrane::testing::ScopedEnv;
using dovrane::testing::TempDir;

namespace {

UpdateFacts acceptable() {
    return UpdateFacts{
        "com.example.Editor", "com.example.Editor", "AB12CD34EF", "AB12CD34EF", true, true, true, "2.3", "2.4"};
}

template <class Change> std::optional<UpdateRefusal> verdictWith(Change change) {
    UpdateFacts facts = acceptable();
    change(facts);
    return UpdateVerdict::evaluate(facts);
}

} // namespace

TEST(UpdateVerdict, AppliesItsRulesInOrder) {
    EXPECT_EQ(UpdateVerdict::evaluate(acceptable()), std::nullopt);
    EXPECT_EQ(verdictWith([](UpdateFacts& f) {
                  f.oldVersion = "1.0b1";
                  f.newVersion = "1.0";
              }),
              std::nullopt);

    EXPECT_EQ(verdictWith([](UpdateFacts& f) { f.newBundleID = "com.example.editor"; }), UpdateRefusal::otherApp);
    // Every later rule broken too: the identifier still decides.
    EXPECT_EQ(verdictWith([](UpdateFacts& f) {
                  f.newBundleID = "com.other.Tool";
                  f.newSignatureValid = false;
                  f.oldTeamID.reset();
              }),
              UpdateRefusal::otherApp);
    EXPECT_EQ(verdictWith([](UpdateFacts& f) {
                  f.newSignatureValid = false;
                  f.oldTeamID.reset();
              }),
              UpdateRefusal::notSigned);
    EXPECT_EQ(verdictWith([](UpdateFacts& f) {
                  f.oldTeamID.reset();
                  f.newTeamID.reset();
              }),
              UpdateRefusal::installedNotSigned);
    EXPECT_EQ(verdictWith([](UpdateFacts& f) { f.oldTeamID.reset(); }), UpdateRefusal::installedNotSigned);
    EXPECT_EQ(verdictWith([](UpdateFacts& f) { f.newTeamID.reset(); }), UpdateRefusal::otherDeveloper);
    EXPECT_EQ(verdictWith([](UpdateFacts& f) {
                  f.newTeamID = "ab12cd34ef";
                  f.newGatekeeper = false;
              }),
              UpdateRefusal::otherDeveloper);
    EXPECT_EQ(verdictWith([](UpdateFacts& f) {
                  f.newGatekeeper = false;
                  f.newVersion = "1.0";
              }),
              UpdateRefusal::gatekeeper);
}

TEST(UpdateVerdict, GatekeeperCountsOnlyWhenItAcceptsTheInstalledApp) {
    EXPECT_EQ(verdictWith([](UpdateFacts& f) {
                  f.oldGatekeeper = false;
                  f.newGatekeeper = false;
              }),
              std::nullopt);
    EXPECT_EQ(verdictWith([](UpdateFacts& f) { f.oldGatekeeper = false; }), std::nullopt);
}

TEST(UpdateVerdict, RefusesVersionsThatAreNotNewer) {
    EXPECT_EQ(verdictWith([](UpdateFacts& f) {
                  f.oldVersion = "2.0";
                  f.newVersion = "2.0.0";
              }),
              UpdateRefusal::notNewer);
    EXPECT_EQ(verdictWith([](UpdateFacts& f) {
                  f.oldVersion = "1.10";
                  f.newVersion = "1.9";
              }),
              UpdateRefusal::notNewer);
    EXPECT_EQ(verdictWith([](UpdateFacts& f) {
                  f.oldVersion = "1.0";
                  f.newVersion = "1.0b1";
              }),
              UpdateRefusal::notNewer);
}

TEST(UpdateRefusalText, EveryCaseHasItsNameAndSentencesInBothLanguages) {
    std::set<std::string> names, english, german;
    for (auto refusal : allUpdateRefusals) {
        names.insert(std::string(rawValue(refusal)));
        {
            ScopedEnv language("APP_LANG", "en");
            english.insert(explanation(refusal));
        }
        ScopedEnv language("APP_LANG", "de");
        german.insert(explanation(refusal));
    }
    EXPECT_EQ(names.size(), allUpdateRefusals.size());
    EXPECT_EQ(english.size(), allUpdateRefusals.size());
    EXPECT_EQ(german.size(), allUpdateRefusals.size());
    EXPECT_EQ(rawValue(UpdateRefusal::installedNotSigned), "installedNotSigned");
}

TEST(UpdateRefusalText, SentencesFollowTheCurrentLanguage) {
    {
        ScopedEnv language("APP_LANG", "en");
        EXPECT_EQ(explanation(UpdateRefusal::signatureInvalid),
                  "The download does not match the vendor's signature. Dovrane did not install it.");
        EXPECT_EQ(explanation(UpdateRefusal::replaceFailed),
                  "The new version could not be put in place. The old version is back where it was.");
    }
    {
        ScopedEnv language("APP_LANG", "de");
        EXPECT_EQ(explanation(UpdateRefusal::installedNotSigned),
                  "Die installierte App hat keine Entwickler-Signatur. Dovrane kann daher nicht prüfen, ob das "
                  "Update vom selben Entwickler kommt. Aktualisiere sie aus der App selbst.");
        EXPECT_EQ(explanation(UpdateRefusal::notNewer), "Der Download ist nicht neuer als die installierte Version.");
    }
    ScopedEnv forced("APP_LANG", std::nullopt);
    ScopedEnv locale("LANG", "de_DE.UTF-8");
    EXPECT_EQ(explanation(UpdateRefusal::noApp), "Der Download enthält keine App.");
}

namespace {

std::string base64(const std::vector<unsigned char>& bytes) {
    std::string out(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(out.data(), out.size(), bytes.data(), bytes.size(), sodium_base64_VARIANT_ORIGINAL);
    out.resize(out.size() - 1); // the terminating zero
    return out;
}

struct SigningKey {
    std::vector<unsigned char> publicKey = std::vector<unsigned char>(crypto_sign_PUBLICKEYBYTES);
    std::vector<unsigned char> secretKey = std::vector<unsigned char>(crypto_sign_SECRETKEYBYTES);

    SigningKey() {
        EXPECT_GE(sodium_init(), 0);
        crypto_sign_keypair(publicKey.data(), secretKey.data());
    }
    std::string publicText() const { return base64(publicKey); }
    std::string sign(std::string_view message) const {
        std::vector<unsigned char> signature(crypto_sign_BYTES);
        crypto_sign_detached(signature.data(), nullptr, reinterpret_cast<const unsigned char*>(message.data()),
                             message.size(), secretKey.data());
        return base64(signature);
    }
};

class DownloadSignature : public ::testing::Test {
protected:
    DownloadSignature() { dovrane::testing::writeFile(dir / "Editor-2.4.zip", contents); }
    Url download() const { return Url::fromPath(dir / "Editor-2.4.zip"); }

    TempDir dir;
    std::string contents = std::string(300'000, 'z') + "\n";
    SigningKey key;
};

} // namespace

TEST_F(DownloadSignature, AcceptsTheVendorsSignatureOverTheWholeFile) {
    EXPECT_TRUE(EdDSA::verify(download(), key.sign(contents), key.publicText()));

    dovrane::testing::writeFile(dir / "empty.zip", "");
    EXPECT_TRUE(EdDSA::verify(Url::fromPath(dir / "empty.zip"), key.sign(""), key.publicText()));
}

TEST_F(DownloadSignature, RefusesSignaturesThatDoNotMatch) {
    SigningKey otherKey;
    EXPECT_FALSE(EdDSA::verify(download(), otherKey.sign(contents), key.publicText()));
    EXPECT_FALSE(EdDSA::verify(download(), key.sign(contents), otherKey.publicText()));
    EXPECT_FALSE(EdDSA::verify(download(), key.sign(contents.substr(0, contents.size() - 1)), key.publicText()));

    dovrane::testing::writeFile(dir / "Editor-2.4.zip", contents + "!");
    EXPECT_FALSE(EdDSA::verify(download(), key.sign(contents), key.publicText()));
}

TEST_F(DownloadSignature, RefusesKeysAndSignaturesThatAreNotExactlyRight) {
    std::string signature = key.sign(contents);
    std::string publicKey = key.publicText();
    EXPECT_FALSE(EdDSA::verify(download(), signature, publicKey + "\n"));
    EXPECT_FALSE(EdDSA::verify(download(), signature + "\n", publicKey));
    ASSERT_EQ(publicKey.back(), '='); // without its padding it is not standard Base64
    EXPECT_FALSE(EdDSA::verify(download(), signature, publicKey.substr(0, publicKey.size() - 1)));
    EXPECT_FALSE(EdDSA::verify(download(), "", publicKey));

    std::vector<unsigned char> shortKey(key.publicKey.begin(), key.publicKey.end() - 1);
    std::vector<unsigned char> longKey(key.publicKey);
    longKey.insert(longKey.end(), 1, 0);
    EXPECT_FALSE(EdDSA::verify(download(), signature, base64(shortKey)));
    EXPECT_FALSE(EdDSA::verify(download(), signature, base64(longKey)));
    EXPECT_FALSE(EdDSA::verify(download(), publicKey, publicKey)); // a 32-byte signature
}

TEST_F(DownloadSignature, RefusesFilesThatCannotBeRead) {
    std::string signature = key.sign(contents);
    EXPECT_FALSE(EdDSA::verify(Url::fromPath(dir / "missing.zip"), signature, key.publicText()));
    EXPECT_FALSE(EdDSA::verify(Url::fromPath(dir.path()), key.sign(""), key.publicText()));
    EXPECT_FALSE(EdDSA::verify(*Url::parse("https://example.com/Editor-2.4.zip"), signature, key.publicText()));
}
