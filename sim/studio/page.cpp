// The page the studio serves at "/": a placeholder until the studio's page is built. It reads
// the session token from the address's fragment, which never reaches the server.
namespace studio {

extern const char kPage[];
const char kPage[] = R"html(<!doctype html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Plinka studio</title>
</head>
<body>
<h1>Plinka studio</h1>
<p>The device is running. Its API is described in docs/studio.md; requests under /api/ carry
the token from this page's address in the header X-Plinka-Token.</p>
<script>
const token = new URLSearchParams(location.hash.slice(1)).get("token");
if (token) document.cookie = "plinka-token=" + token + "; SameSite=Strict; path=/api/";
</script>
</body>
</html>
)html";

}  // namespace studio
