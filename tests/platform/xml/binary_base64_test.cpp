#include <gtest/gtest.h>

#include "platform/xml/base64.h"
#include "platform/xml/binary_base64.h"
#include "platform/xml/document.h"

namespace platform::xml {
namespace {

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

TEST(Base64Test, KnownVectors) {
  struct Case {
    const char* plain;
    const char* encoded;
  };
  const Case cases[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.plain);
    EXPECT_EQ(EncodeBase64(Bytes(c.plain)), c.encoded);
    EXPECT_EQ(DecodeBase64(c.encoded), Bytes(c.plain));
  }
  std::vector<std::uint8_t> all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<std::uint8_t>(i));
  EXPECT_EQ(DecodeBase64(EncodeBase64(all)), all);
  EXPECT_EQ(EncodeBase64(std::vector<std::uint8_t>{0xfb, 0xff, 0xbf}), "+/+/");
}

TEST(Base64Test, DecoderIgnoresWhitespaceAndAcceptsMissingPadding) {
  EXPECT_EQ(DecodeBase64(" Zm9v\r\nYmFy\t"), Bytes("foobar"));
  EXPECT_EQ(DecodeBase64("Zm9vYg"), Bytes("foob"));
  EXPECT_EQ(DecodeBase64("Zm9vYmE"), Bytes("fooba"));
  EXPECT_EQ(DecodeBase64("Zg = ="), Bytes("f"));
}

TEST(Base64Test, GarbageIsRejected) {
  for (const char* text : {"Zm9v!", "Z", "Zm9vY", "Zg=a", "=Zg", "Zm9v=", "Zg===", "Zm-v", "\xC3\xA9"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(DecodeBase64(text).has_value());
  }
}

TEST(BinaryBase64Test, WritesTheTypedElementExactly) {
  Document doc;
  Node root = doc.AppendChild(doc.CreateElement("cSettings"));
  Node value = root.AppendChild(doc.CreateElement("user.blob"));
  ASSERT_TRUE(SetBinaryBase64(value, Bytes(std::string_view("a\0b", 3))));
  value.SetAttribute("VT", "8209");
  EXPECT_EQ(doc.Xml(),
            "<cSettings><user.blob xmlns:dt=\"urn:schemas-microsoft-com:datatypes\" dt:dt=\"bin.base64\" "
            "VT=\"8209\">YQBi</user.blob></cSettings>");
  EXPECT_TRUE(IsBinaryBase64(value));
  EXPECT_EQ(GetBinaryBase64(value), Bytes(std::string_view("a\0b", 3)));
}

TEST(BinaryBase64Test, RoundTripThroughText) {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < 300; ++i) bytes.push_back(static_cast<std::uint8_t>(i * 37));
  Document doc;
  Node root = doc.AppendChild(doc.CreateElement("r"));
  SetBinaryBase64(root.AppendChild(doc.CreateElement("v")), bytes);
  SetBinaryBase64(root.AppendChild(doc.CreateElement("empty")), {});
  Document again;
  ASSERT_TRUE(again.LoadXml(doc.Xml()));
  EXPECT_EQ(GetBinaryBase64(again.SelectSingleNode("/r/v")), bytes);
  EXPECT_EQ(GetBinaryBase64(again.SelectSingleNode("/r/empty")), std::vector<std::uint8_t>{});
}

TEST(BinaryBase64Test, RecognisesOnlyTheDataTypeNamespace) {
  Document doc;
  ASSERT_TRUE(doc.LoadXml(
      "<r xmlns:b=\"urn:schemas-microsoft-com:datatypes\">"
      "<inherited b:dt=\"bin.base64\">Zm9v</inherited>"
      "<foreign xmlns:dt=\"urn:other\" dt:dt=\"bin.base64\">Zm9v</foreign>"
      "<untyped>Zm9v</untyped>"
      "<number xmlns:dt=\"urn:schemas-microsoft-com:datatypes\" dt:dt=\"i4\">1</number>"
      "<broken xmlns:dt=\"urn:schemas-microsoft-com:datatypes\" dt:dt=\"bin.base64\">Zm9v!</broken>"
      "</r>"));
  EXPECT_EQ(GetBinaryBase64(doc.SelectSingleNode("//inherited")), Bytes("foo"));
  for (const char* name : {"foreign", "untyped", "number"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(IsBinaryBase64(doc.SelectSingleNode(std::string("//") + name)));
  }
  EXPECT_TRUE(IsBinaryBase64(doc.SelectSingleNode("//broken")));
  EXPECT_FALSE(GetBinaryBase64(doc.SelectSingleNode("//broken")).has_value());
  EXPECT_FALSE(SetBinaryBase64(Node(), Bytes("x")));
  // An ancestor's declaration of the prefix is used, not repeated.
  Document other;
  ASSERT_TRUE(other.LoadXml("<r xmlns:dt=\"urn:schemas-microsoft-com:datatypes\"><v/></r>"));
  SetBinaryBase64(other.SelectSingleNode("/r/v"), Bytes("foo"));
  EXPECT_EQ(other.Xml(), "<r xmlns:dt=\"urn:schemas-microsoft-com:datatypes\"><v dt:dt=\"bin.base64\">Zm9v</v></r>");
}

}  // namespace
}  // namespace platform::xml
