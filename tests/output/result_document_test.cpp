// The result document's bytes in every flavour, channel labels, grouping and the error document.
#include <gtest/gtest.h>

#include "driver/options.h"
#include "output/result_document.h"

using namespace kestrovan;

namespace {

/// The result of one system as a single-profile run writes it.
std::string OneSystemResult(ResultDocument &doc, const std::string &text) {
  doc.BeginDocument();
  doc.BeginText();
  doc.AddText(text);
  doc.EndText();
  doc.AddChannel("Index_Undefined", "0", "");
  doc.AddChannel("Missing_Idices", "12", "");
  doc.EndDocument();
  return doc.Take();
}

ResultDocument Document(OutputMode mode = OutputMode::EXEXML) { return ResultDocument(mode, {}); }

struct FlavourCase {
  const char *name;
  OutputMode mode;
  const char *options;
  const char *expected;
};

const FlavourCase kFlavours[] = {
    {"exexml", OutputMode::EXEXML, "",
     "\n<Prtg>\n\n<Text>T</Text>\n"
     "\n<Result><Channel>Index_Undefined</Channel>\n<Value>0</Value></Result>\n"
     "\n<Result><Channel>Missing_Idices</Channel>\n<Value>12</Value></Result>\n"
     "\n</Prtg>\n"},
    {"pellith_same_as_exexml", OutputMode::Pellith, "",
     "\n<Prtg>\n\n<Text>T</Text>\n"
     "\n<Result><Channel>Index_Undefined</Channel>\n<Value>0</Value></Result>\n"
     "\n<Result><Channel>Missing_Idices</Channel>\n<Value>12</Value></Result>\n"
     "\n</Prtg>\n"},
    {"vintrel_same_as_exexml", OutputMode::Vintrel, "CH=2",
     "\n<Prtg>\n\n<Text>T</Text>\n"
     "\n<Result><Channel>Index_Undefined</Channel>\n<Value>0</Value></Result>\n"
     "\n<Result><Channel>Missing_Idices</Channel>\n<Value>12</Value></Result>\n"
     "\n</Prtg>\n"},
    {"halcrest", OutputMode::Halcrest, "",
     "\n# T"
     "\n\nMessage.Index_Undefined: Index_Undefined (#)\nStatistic.Index_Undefined: 0"
     "\n\nMessage.Missing_Idices: Missing_Idices (#)\nStatistic.Missing_Idices: 12"
     "\n"},
    {"morvane", OutputMode::Morvane, "", "\n# T\n> Index_Undefined: 0 #\n> Missing_Idices: 12 #\n"},
    {"morvane_channel_2", OutputMode::Morvane, "CH=2", "12\n"},
    {"morvane_channel_1_lower_case", OutputMode::Morvane, "x,ch=1", "0\n"},
    {"morvane_channel_0", OutputMode::Morvane, "CH=0", "\n"},
    {"morvane_channel_beyond", OutputMode::Morvane, "CH=3", "\n"},
    {"morvane_channel_stops_at_comma", OutputMode::Morvane, "CH=2,X", "12\n"},
    {"morvane_channel_reads_three_characters", OutputMode::Morvane, "CH=12345", "\n"},
    {"morvane_channel_leading_zeros", OutputMode::Morvane, "CH=00123", "0\n"},
    {"morvane_channel_leading_blank", OutputMode::Morvane, "CH= 2", "12\n"},
    {"morvane_channel_plus_sign", OutputMode::Morvane, "CH=+2", "12\n"},
    {"morvane_channel_no_digits", OutputMode::Morvane, "CH=x", "\n"},
};

void PrintTo(const FlavourCase &c, std::ostream *out) { *out << c.name; }

class Flavours : public ::testing::TestWithParam<FlavourCase> {};

// The channel number comes from the options as the run reads them.
TEST_P(Flavours, OneSystemResultBytes) {
  ResultDocument doc(GetParam().mode, ParseOptions(GetParam().options).selected_channel);
  EXPECT_EQ(OneSystemResult(doc, "T"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(AllFlavours, Flavours, ::testing::ValuesIn(kFlavours),
                         [](const auto &p) { return std::string(p.param.name); });

TEST(ResultDocument, ErrorDocumentBytes) {
  EXPECT_EQ(ErrorDocument("Error 1018: DataBase mismatch !"),
            "<Prtg>\n<Error>1</Error>\n<Text>Error 1018: DataBase mismatch !</Text>\n</Prtg>\n");
}

TEST(ResultDocument, XmlUnitsAreWrittenAsGivenAndTextUnitsAreMapped) {
  ResultDocument f = Document();
  f.AddChannel("CPU", "5", "PerCent");
  EXPECT_EQ(
      f.Take(),
      "\n<Result><Channel>CPU</Channel>\n<Unit>Custom</Unit>\n<CustomUnit>PerCent</CustomUnit>"
      "\n<Value>5</Value></Result>\n");

  struct {
    const char *unit;
    const char *shown;
  } units[] = {{"", "#"},
               {"PerCent", "%"},
               {"TimeResponse", "mSec"},
               {"Bytes", "Bytes"},
               {"percent", "percent"}};
  for (const auto &u : units) {
    ResultDocument h = Document(OutputMode::Halcrest);
    h.AddChannel("X", "1", u.unit);
    EXPECT_EQ(h.Take(), std::string("\n\nMessage.X: X (") + u.shown + ")\nStatistic.X: 1")
        << u.unit;
    ResultDocument m = Document(OutputMode::Morvane);
    m.AddChannel("X", "1", u.unit);
    EXPECT_EQ(m.Take(), std::string("\n> X: 1 ") + u.shown) << u.unit;
  }
}

TEST(ResultDocument, HalcrestLabelsAreCleanedButNamesStay) {
  struct {
    const char *name;
    const char *label;
  } cases[] = {
      {"DB.Index.Count", "DB_Index.Count"},
      {"CPU (avg)", "CPU__avg_"},
      {"a/b\\c[d]e*f:g-h", "a_b_c_d_e_f_g_h"},
      {"plain", "plain"},
  };
  for (const auto &c : cases) {
    ResultDocument f = Document(OutputMode::Halcrest);
    f.AddChannel(c.name, "7", "");
    EXPECT_EQ(f.Take(), std::string("\n\nMessage.") + c.label + ": " + c.name + " (#)\nStatistic." +
                            c.label + ": 7")
        << c.name;
  }
  ResultDocument x = Document();
  x.AddChannel("CPU (avg)", "1", "");
  EXPECT_NE(x.Take().find("<Channel>CPU (avg)</Channel>"), std::string::npos);
}

TEST(ResultDocument, HalcrestShowsTenChannelsPerProcessAndCountsEveryCall) {
  ResultDocument f = Document(OutputMode::Halcrest);
  for (int i = 1; i <= 5; ++i) {
    f.AddChannel("C" + std::to_string(i), "1", "");
  }
  EXPECT_NE(f.Take().find("Statistic.C5: 1"), std::string::npos);
  // The count goes on across what has been handed out, as across the systems of a listing.
  for (int i = 6; i <= 12; ++i) {
    f.AddChannel("C" + std::to_string(i), "1", "");
  }
  const std::string rest = f.Take();
  EXPECT_NE(rest.find("Statistic.C10: 1"), std::string::npos);
  EXPECT_EQ(rest.find("C11"), std::string::npos);
  EXPECT_EQ(rest.find("C12"), std::string::npos);
}

TEST(ResultDocument, NothingIsEscaped) {
  ResultDocument f = Document();
  f.AddChannel("a<b>&c", "1", "");
  EXPECT_EQ(f.Take(), "\n<Result><Channel>a<b>&c</Channel>\n<Value>1</Value></Result>\n");
}

TEST(GroupThousands, PutsAtMostTwoSeparators) {
  struct {
    const char *in, *out;
  } cases[] = {
      {"", ""},
      {"0", "0"},
      {"999", "999"},
      {"1000", "1.000"},
      {"1234", "1.234"},
      {"123456", "123.456"},
      {"1234567", "1.234.567"},
      {"1234567890", "1234.567.890"},
      {"4294967295", "4294.967.295"},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(GroupThousands(c.in), c.out) << c.in;
  }
}

} // namespace
