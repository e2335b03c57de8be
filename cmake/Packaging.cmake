# The Debian package of the program, built by scripts/package with CPack: it
# holds what `cmake --install` installs, under /usr.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kotobane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kotobane developers")
set(CPACK_PACKAGE_CONTACT "Kotobane developers <dev@kotobane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "readings of Japanese, Chinese and Korean text selected anywhere")
set(CPACK_PACKAGE_DESCRIPTION
    "Kotobane lives in the notification area. Select text in any application
and press Control+F12 (or click the tray icon): a popup shows the phrase with
its reading, kana for Japanese, pinyin or zhuyin for Chinese, hangul for
Korean hanja, and can speak it. Every look-up is kept in a history that can be
sorted, edited and exported.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# No Homepage field: the project has no public address yet (the metainfo
# leaves its screenshots out for the same reason).

# What the binary links comes from dpkg-shlibdeps. Besides it, what Qt and
# the back-ends load at run time: the SVG icon engine and image format
# plugins (libqt6svg6), the Wayland platform plugin (qt6-wayland: most
# desktops start Wayland sessions) and the Japanese dictionary of the
# default back-end.
# The xcb platform plugin ships in libqt6gui6 and the multimedia back-end
# plugins in libqt6multimedia6, both linked, so shlibdeps covers them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, qt6-wayland, mecab-ipadic-utf8")
# The data of the other back-ends and of speech, the mainland word readings
# (scripts/package builds kotobane-cedict beside this package) and CJK
# glyphs: the program works without each, reading or showing less. A desktop
# where CJK text is selected has some CJK font already, so the font is no
# hard dependency.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "rime-data-terra-pinyin, libhangul-data, unicode-data, espeak-ng-data, fonts-noto-cjk, kotobane-cedict")
# About 5 GB installed: never pulled in by default.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "unidic-mecab")

include(CPack)
