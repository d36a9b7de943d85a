# Assembles what the demo's data server serves and imports, from the sources in res/demo:
#   OUTPUT/seed.json               the catalog seed for ravik-dataserver --seed
#   OUTPUT/www/                    the web pages (res/demo/www)
#   OUTPUT/www/icons/game|tool/    the icons the synchronisation fetches (res/demo/GameIcon,
#                                  res/demo/ToolIcon); icons/ravik.png, the application icon
#   OUTPUT/www/data/catalog.json   the seed again, read by the pages' scripts
#   OUTPUT/www/tools/<name>.zip    one archive for every program in the seed (TYPE 187, 191,
#                                  192): a top folder holding the demo tool under the entry's
#                                  EXENAME and tool.json, the entry itself (with its game's
#                                  title as GAME), which the tool shows
#   OUTPUT/www/pages/<id>.html     the page of each web entry whose URL names one: a copy of
#                                  pages/item.html, which finds its entry by its file name.
#                                  Web boxes open pages through the loading page
#                                  (LoadingPage.htm?q=<address>), so these addresses carry no
#                                  query of their own.
# Usage: cmake -DDEMO=<res/demo> -DTOOL=<ravik-demo-tool> -DOUTPUT=<dir> [-DSTRIP=<strip>]
#              -P make-site.cmake
# With STRIP the archives hold a stripped copy of the tool: a debug build is ten times larger.
foreach(var DEMO TOOL OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "make-site.cmake needs -D${var}=...")
    endif()
endforeach()

set(www ${OUTPUT}/www)
set(stage ${OUTPUT}/stage)
file(REMOVE_RECURSE ${www} ${stage})
file(MAKE_DIRECTORY ${www}/icons/game ${www}/icons/tool ${www}/data ${www}/tools)
file(COPY ${DEMO}/www/ DESTINATION ${www})
file(GLOB game_icons ${DEMO}/GameIcon/*.png)
file(GLOB tool_icons ${DEMO}/ToolIcon/*.png)
file(COPY ${game_icons} DESTINATION ${www}/icons/game)
file(COPY ${tool_icons} DESTINATION ${www}/icons/tool)
configure_file(${DEMO}/../icons/ravik-128.png ${www}/icons/ravik.png COPYONLY)
configure_file(${DEMO}/server/seed.json ${OUTPUT}/seed.json COPYONLY)
configure_file(${DEMO}/server/seed.json ${www}/data/catalog.json COPYONLY)

if(STRIP)
    file(MAKE_DIRECTORY ${stage})
    execute_process(COMMAND ${STRIP} -o ${stage}/demo-tool ${TOOL} RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "cannot strip ${TOOL}")
    endif()
    set(TOOL ${stage}/demo-tool)
endif()

file(READ ${DEMO}/server/seed.json seed)
string(JSON game_count LENGTH "${seed}" games)
math(EXPR last_game "${game_count} - 1")
foreach(i RANGE ${last_game})
    string(JSON id GET "${seed}" games ${i} id)
    string(JSON title GET "${seed}" games ${i} TITLE)
    set(game_title_${id} "${title}")
endforeach()

string(JSON tool_count LENGTH "${seed}" tools)
math(EXPR last_tool "${tool_count} - 1")
set(archives 0)
foreach(i RANGE ${last_tool})
    string(JSON type GET "${seed}" tools ${i} TYPE)
    if(NOT type MATCHES "^(187|191|192)$")
        string(JSON url GET "${seed}" tools ${i} URL)
        if(url MATCHES "^{{http}}/pages/([0-9]+\\.html)$")
            configure_file(${www}/pages/item.html ${www}/pages/${CMAKE_MATCH_1} COPYONLY)
        endif()
        continue()
    endif()
    string(JSON entry GET "${seed}" tools ${i})
    string(JSON id GET "${entry}" id)
    string(JSON url GET "${entry}" URL)
    string(JSON exe GET "${entry}" EXENAME)
    string(JSON version GET "${entry}" VERSION)
    string(JSON game GET "${entry}" GAMEID)
    if(exe STREQUAL "" OR NOT url MATCHES "^{{http}}/tools/([^/]+\\.zip)$")
        message(FATAL_ERROR "tool ${id}: a program needs an EXENAME and a URL {{http}}/tools/NAME.zip")
    endif()
    set(archive ${CMAKE_MATCH_1})
    if(DEFINED game_title_${game})
        string(JSON entry SET "${entry}" GAME "\"${game_title_${game}}\"")
    endif()
    # The launcher strips the top folder when it installs, so its name is free.
    set(top ${exe}-${version})
    file(MAKE_DIRECTORY ${stage}/${id}/${top})
    file(COPY_FILE ${TOOL} ${stage}/${id}/${top}/${exe})
    file(CHMOD ${stage}/${id}/${top}/${exe} PERMISSIONS
        OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    file(WRITE ${stage}/${id}/${top}/tool.json "${entry}\n")
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E tar cf ${www}/tools/${archive} --format=zip ${top}
        WORKING_DIRECTORY ${stage}/${id}
        RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "cannot write ${www}/tools/${archive}")
    endif()
    math(EXPR archives "${archives} + 1")
endforeach()
file(REMOVE_RECURSE ${stage})
message(STATUS "demo site: ${game_count} games, ${tool_count} tools, ${archives} archives in ${www}")
