#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compose/DownloadLinkNotice.h"

namespace dwl {
namespace {

// A body tag whatever its case, but not one inside other markup; without
// one the notice follows the head or the html tag; markup that never ends
// finds nothing. Each input has a '^' where the notice goes, or none.
TEST(HtmlBodyStartTest, TheNoticeGoesAfterTheBodyTagOrTheHeadOrTheHtmlTag) {
  const std::vector<std::string> marked = {
      "<body>^", "<html><BODY class=\"x\">^text", "<Body\r\n  bgcolor=\"#ffffff\">^",
      "<p>no body tag</p>", "<bodyx>", "<bodyx><body/>^", "a < b <3 <body>^",
      "<style>/* <body> */ p {}</style><body>^",
      "<!-- <body> --><body>^",
      "<!--><body>^",
      "<!---><body>^",
      "<!-- a --!><body>^",
      "<script>var s = \"<body>\";</script><body>^",
      "<SCRIPT>s = '</scripts><body>';</Script ><body>^",
      "<title>the <body> tag</title><body>^",
      "<body data-x=\"a>b\">^c",
      "<body data-x='a>b'>^c",
      "<p title=\"<body>\"><body>^",
      "</p class=\"a><body>\"><body>^",
      "<p a=b\"c 'd><body>^",
      "<?xml x=\"<body>\"?><!DOCTYPE html><body>^",
      "<html><head><title>t</title></head>^<p>x</p></html>",
      "<HTML lang=\"en\">^<p>x</p></html>",
      "<html>^<!-- </head> <body> --><p>x</p>",
      "<html>^<plaintext><body>",
      "<html>^<body",
      "<body", "<body class=\"x>", "<!-- <body>", "<script><body>", "<p title='<body>",
  };
  for (std::string html : marked) {
    const std::size_t point = html.find('^');
    if (point != std::string::npos) html.erase(point, 1);
    EXPECT_EQ(notice::InsertionPoint(html), point) << html;
  }
}

}  // namespace
}  // namespace dwl
