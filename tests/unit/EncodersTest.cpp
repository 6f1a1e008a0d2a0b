// SHA-256, base-62 and the request signature against known vectors.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "backend/Base62.h"
#include "backend/Sha256.h"
#include "backend/Signature.h"

TEST(Sha256, PublishedTestVectors) {
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(Sha256Hex("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrs"
                      "mnopqrstnopqrstu"),
            "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
  EXPECT_EQ(Sha256Hex(std::string(1000000, 'a')), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, PiecesOfAnySizeGiveTheWholesHash) {
  std::string data;
  for (int i = 0; data.size() < 5000; ++i) data += std::to_string(i * 7919) + ",";
  for (const size_t piece : {size_t{1}, size_t{55}, size_t{63}, size_t{64}, size_t{65}, size_t{1000}}) {
    Sha256 hash;
    for (size_t at = 0; at < data.size(); at += piece) hash.Update(std::string_view(data).substr(at, piece));
    EXPECT_EQ(hash.HexDigest(), Sha256Hex(data)) << piece;
  }
}

TEST(Sha256, PaddingBoundaries) {
  // 55 bytes fit one block with the length; 56 need a second one; 64 a full extra block.
  EXPECT_EQ(Sha256Hex("0123456789abcdef0123456789abcdef0123456789abcdef0123456"),
            "72fa96f64bf2dd082aafb08cf80ed17f5b3d2c6cd527c4b138b69506f5e5c173");
  EXPECT_EQ(Sha256Hex(std::string(56, 'a')), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
  EXPECT_EQ(Sha256Hex(std::string(64, 'a')), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
  EXPECT_EQ(Sha256Hex(std::string("\0\0", 2)), "96a296d224f285c67bee93c30f8a309157f0daa35dc5b87e410b78630a09cfc7");
}

TEST(Base62, KnownValues) {
  EXPECT_EQ(Base62Encode(""), "");
  EXPECT_EQ(Base62Encode(std::string("\0", 1)), "");
  EXPECT_EQ(Base62Encode("\x3E"), "10");
  EXPECT_EQ(Base62Encode(std::string("\0\x3E", 2)), "10");
  EXPECT_EQ(Base62Encode("\x01"), "1");
  EXPECT_EQ(Base62Encode("\x3D"), "Z");
  EXPECT_EQ(Base62Encode("Hello World"), "73xPuGYmWKgR29m");
  EXPECT_EQ(Base62Encode(std::string(16, '\xFF')), "7N42dgm5tFLK9N8MT7fHC7");
  EXPECT_EQ(Base62Encode("guid|ad-1|20261209104501"), "17cLLzbxQAnolGkl3Jjf5JrAQPbRWCwj7");
}

TEST(Signature, HashesUserIdFollowedByTimestamp) {
  const auto [name, value] = MakeSignatureHeader("4c4c4544-0042-3510-8052-b4c04f4e4d31", "20261209104501");
  EXPECT_EQ(name, L"Authorization");
  EXPECT_EQ(value, L"Signature=9d1e1f07d7c80bcb332618d09c9278c22ed95606a3d64ff7a69e894f7d89d6f3");
  // Without a machine GUID the digest covers the timestamp alone.
  EXPECT_EQ(MakeSignatureHeader("", "20261209104501").second,
            L"Signature=96d2e8b10a8d1de6aedfb049cfcad962088492acbb8ac85ffddd2c4d57731ac9");
}
