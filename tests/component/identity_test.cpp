#include "component/component_identity.h"
#include "host/client_interface.h"
#include "host/console.h"
#include "runtime/service.h"
#include "support/pfc/string8.h"

#include <gtest/gtest.h>

#include <string>

extern "C" component_client* corvane_get_interface(host_api* api, void* module_handle);

namespace {

component_client& client() { return *corvane_get_interface(nullptr, nullptr); }

std::string text_of(const pfc::string_base& s) { return std::string(s.text_ptr(), s.text_length()); }

service_impl_single_t<componentversion_myimpl> g_version;
service_impl_single_t<component_installation_validator_filename> g_validator;

bool installed_as(const char* path) {
  client().set_module_path(path, "");
  return g_validator.check_installation();
}

// What the services answer before anything has set the module path, taken
// while the test program loads, so no test's order matters.
struct answers_before_any_path {
  std::string file_name;
  bool installed;
};
const answers_before_any_path g_before_any_path = [] {
  pfc::string8 sink("stale");
  g_version.report_file_name(sink);
  return answers_before_any_path{text_of(sink), g_validator.check_installation()};
}();

TEST(IdentityBeforeTheModulePathIsSet, ReportsAnEmptyFileNameAndFailsTheCheck) {
  EXPECT_EQ(g_before_any_path.file_name, "");
  EXPECT_FALSE(g_before_any_path.installed);
}

TEST(ComponentInformation, ReportsNameAndVersionWithTheirExactLengthsReplacingTheSink) {
  pfc::string8 sink("previous content that is long");
  g_version.report_name(sink);
  EXPECT_EQ(text_of(sink), "Chirpline Spammer");
  EXPECT_EQ(sink.text_length(), 17u);
  g_version.report_version(sink);
  EXPECT_EQ(text_of(sink), "0.1");
  EXPECT_EQ(sink.text_length(), 3u);
}

TEST(ComponentInformation, AboutTextIsADescriptionThenCreditLinesEachEndedByALineFeed) {
  pfc::string8 sink("x");
  g_version.report_about_text(sink);
  const std::string about = text_of(sink);
  ASSERT_FALSE(about.empty());
  EXPECT_EQ(about.back(), '\n');
  std::size_t lines = 0;
  for (std::size_t start = 0; start < about.size(); ++lines) {
    const std::size_t end = about.find('\n', start);
    EXPECT_GT(end, start) << "empty line at " << start;
    start = end + 1;
  }
  EXPECT_GE(lines, 2u);
  EXPECT_EQ(about.find('\r'), std::string::npos);
}

TEST(ComponentInformation, ReportsTheFileNameTheHostGave) {
  client().set_module_path("C:\\players\\corvane\\components\\cor_chirpline.dll", "cor_chirpline.dll");
  pfc::string8 sink;
  g_version.report_file_name(sink);
  EXPECT_EQ(text_of(sink), "cor_chirpline.dll");
}

TEST(InstallationCheck, PassesForTheExpectedFileNameAfterAnySeparator) {
  EXPECT_TRUE(installed_as("C:\\players\\corvane\\components\\cor_chirpline.dll"));
  EXPECT_TRUE(installed_as("cor_chirpline.dll"));
  EXPECT_TRUE(installed_as("/home/user/.wine/cor_chirpline.dll"));
  EXPECT_TRUE(installed_as("archive.zip|cor_chirpline.dll"));
  EXPECT_TRUE(installed_as("C:cor_chirpline.dll"));
  EXPECT_TRUE(installed_as("C:\\dir/mixed|x:cor_chirpline.dll"));
}

TEST(InstallationCheck, FailsForAnyOtherNameCaseIncluded) {
  EXPECT_FALSE(installed_as("C:\\players\\corvane\\components\\COR_CHIRPLINE.DLL"));
  EXPECT_FALSE(installed_as("C:\\components\\Cor_chirpline.dll"));
  EXPECT_FALSE(installed_as("C:\\components\\cor_chirpline.dll.bak"));
  EXPECT_FALSE(installed_as("C:\\components\\xcor_chirpline.dll"));
  EXPECT_FALSE(installed_as("C:\\components\\cor_chirpline.dl"));
  EXPECT_FALSE(installed_as("C:\\cor_chirpline.dll\\other.dll"));
  EXPECT_FALSE(installed_as("C:\\cor_chirpline.dll\\"));
  EXPECT_FALSE(installed_as(""));
}

TEST(IdentityServices, AnswerQueryClassForTheirOwnClassOnly) {
  service_base* out = nullptr;
  EXPECT_FALSE(g_version.query_class(out, component_installation_validator_class_guid));
  EXPECT_FALSE(g_validator.query_class(out, componentversion_class_guid));
  EXPECT_FALSE(g_version.query_class(out, console_class_guid));
  EXPECT_EQ(out, nullptr);
  EXPECT_TRUE(g_version.query_class(out, componentversion_class_guid));
  EXPECT_EQ(out, static_cast<service_base*>(&g_version));
  EXPECT_TRUE(g_validator.query_class(out, component_installation_validator_class_guid));
  EXPECT_EQ(out, static_cast<service_base*>(&g_validator));
  EXPECT_EQ(g_validator.release(), 1);
}

TEST(FileNamePart, StartsAfterTheLastSeparator) {
  EXPECT_STREQ(file_name_part("a\\b/c|d:e"), "e");
  EXPECT_STREQ(file_name_part("plain"), "plain");
  EXPECT_STREQ(file_name_part("ends\\"), "");
  EXPECT_STREQ(file_name_part(""), "");
}

} // namespace
