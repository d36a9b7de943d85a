<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
<title>工具介绍</title>
<link rel="stylesheet" href="/css/site.css">
</head>
<body>
<div class="hero" id="hero"></div>
<main id="content"></main>
<script src="/js/catalog.js"></script>
<script>
// The launcher's "简介" command opens /rv_intro.php?aid=<item id>. A dynamic page on a real
// web server; here the page finds the item in the catalog itself. Ids above 100000 are a
// game's fixed entries (game id x 100 + 11, 22, 33, 44): those introduce the game.
"use strict";
Catalog.load().then(() => {
    const aid = Catalog.param("aid");
    const tool = Catalog.tool(aid);
    const game = tool ? Catalog.game(tool.GAMEID) : (aid > 100000 ? Catalog.game(Math.floor(aid / 100)) : null);
    if (!tool && !game) {
        fill("hero", el("div", {}, el("h1", {}, "工具介绍")));
        notFound("这个工具");
        return;
    }
    if (!tool) {
        document.title = game.TITLE + " · 游戏介绍";
        fill("hero", el("img", { src: Catalog.gameIcon(game), alt: "" }),
            el("div", {}, el("h1", {}, game.TITLE), el("p", {}, el("span", { class: "tag" }, "网络游戏"))));
        fill("content", el("div", { class: "card" }, el("h2", {}, "游戏简介"), el("p", {}, game.INFO),
            el("p", {}, el("a", { class: "button", href: "/game/info.html?id=" + game.id }, "进入资料专区"))));
        return;
    }
    document.title = tool.TITLE + " · 工具介绍";
    const tags = [el("span", { class: "tag" }, game ? game.TITLE : "通用工具")];
    if (tool.VERSION) {
        tags.push(el("span", { class: "tag" }, "版本 " + tool.VERSION));
    }
    fill("hero", el("img", { src: Catalog.toolIcon(tool), alt: "" }),
        el("div", {}, el("h1", {}, tool.TITLE), el("p", {}, ...tags)));
    const how = Catalog.isProgram(tool)
        ? ["在Ravik游戏桌面中双击这个工具。", "第一次使用时启动器会下载并解压它，完成后自动启动。",
           "以后双击直接启动；右键菜单可以打开它的目录或卸载。"]
        : ["在Ravik游戏桌面中双击这个入口。", tool.TYPE === 189 ? "页面会在系统默认浏览器中打开。"
           : "页面会在启动器自带的网页窗口中打开。"];
    fill("content",
        el("div", { class: "card" }, el("h2", {}, "简介"), el("p", {}, tool.INFO),
            el("p", { class: "muted" }, "类型：" + Catalog.kind(tool))),
        el("div", { class: "card" }, el("h2", {}, "使用方法"), el("ol", { class: "steps" }, ...how.map((s) => el("li", {}, s)))));
});
</script>
</body>
</html>
