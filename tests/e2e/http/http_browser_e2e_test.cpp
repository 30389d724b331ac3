// A real browser through the proxy: headless Chromium loads a local page with
// an image over plain HTTP, and a page from a local TLS origin through a
// CONNECT tunnel; both screenshots must show the pages' colours.
#include <gtest/gtest.h>

#include "tests/e2e/http/http_proxy_fixture.h"
#include "tests/e2e/support/engine_under_test.h"
#include "tests/support/child_process.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::test {
namespace {

const std::string kTools = std::string(QLM_SOURCE_DIR) + "/tests/e2e/http/http_e2e_tools.py";

RunResult Chromium(const CHttpProxyUnderTest& proxy, const std::string& profile,
                   const std::string& shot, const std::string& url) {
  return qlm::test::Run({"/usr/bin/chromium", "--headless", "--no-sandbox", "--disable-gpu",
              "--disable-quic", "--no-first-run", "--disable-background-networking",
              "--disable-component-update", "--disable-sync", "--user-data-dir=" + profile,
              "--proxy-server=" + proxy.Url(), "--proxy-bypass-list=<-loopback>",
              "--ignore-certificate-errors", "--window-size=400,300", "--screenshot=" + shot, url},
             {}, std::nullopt, std::chrono::seconds(90));
}

TEST(HttpBrowserE2ETest, ChromiumLoadsPageWithImageAndTlsPageThroughTheProxy) {
  CTempFolder folder;
  folder.Write("index.html",
               "<html><body style='margin:0;background:#0000c8'>"
               "<img src='red.png' width='200' height='150'></body></html>");
  ASSERT_EQ(qlm::test::Run({"python3", kTools, "png", folder.Path() + "/red.png", "200", "150", "200", "0",
                 "0"}).code, 0);
  CHttpProxyUnderTest proxy("127.0.0.85");
  ASSERT_TRUE(proxy.Start());
  COriginUnderTest origin("127.0.0.86", folder.Path());
  ASSERT_TRUE(origin.Started());

  // Plain page with its image: blue page, red image.
  const std::string shot = folder.Path() + "/plain.png";
  // http_origin.py serves files under /length/; the image is fetched relative to it.
  RunResult r = Chromium(proxy, folder.Path() + "/profile1", shot,
                         origin.Url("/length/index.html"));
  EXPECT_EQ(qlm::test::Run({"python3", kTools, "colours", shot, "0", "0", "200", "200", "0", "0"}).code, 0)
      << r.err;

  // TLS origin with a certificate made here, reached through CONNECT.
  const std::string cert = folder.Path() + "/cert.pem";
  const std::string key = folder.Path() + "/key.pem";
  ASSERT_EQ(qlm::test::Run({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                 "-subj", "/CN=127.0.0.87", "-keyout", key, "-out", cert}).code, 0);
  CTempFolder site;
  site.Write("index.html", "<html><body style='background:#00c000'>tls</body></html>");
  const uint16_t tls_port = FreeTcpPort("127.0.0.87");
  CChildProcess tls({"python3", kTools, "tls", "127.0.0.87", std::to_string(tls_port), cert, key,
                     site.Path()});
  ASSERT_TRUE(WaitUntil([&] { return IsListening("127.0.0.87", tls_port); }));
  const std::string tls_shot = folder.Path() + "/tls.png";
  r = Chromium(proxy, folder.Path() + "/profile2", tls_shot,
               "https://127.0.0.87:" + std::to_string(tls_port) + "/index.html");
  EXPECT_EQ(qlm::test::Run({"python3", kTools, "colours", tls_shot, "0", "192", "0"}).code, 0) << r.err;
  tls.Signal(9);
  tls.Wait();
}

}  // namespace
}  // namespace qlm::test
