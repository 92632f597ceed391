#pragma once

#include <QString>

// Keys of the per-user settings store.
inline const QString AppMaxConvertNumKey = QStringLiteral("AppMaxConvertNumKey");
inline const QString AppVideoOutputFolderKey = QStringLiteral("AppVideoOutputFolderKey");
inline const QString AppAudioOutputFolderKey = QStringLiteral("AppAudioOutputFolderKey");
inline const QString AppSnapShotFolderKey = QStringLiteral("AppSnapShotFolderKey");
inline const QString AppBSyncToiTunesKey = QStringLiteral("AppBSyncToiTunesKey");
inline const QString AppDefaultAudioCodecNameKey1 = QStringLiteral("AppDefaultAudioCodecNameKey1");
inline const QString AppDefaultVideoCodecNameKey1 = QStringLiteral("AppDefaultVideoCodecNameKey1");
inline const QString WaterMarkTextColorKey = QStringLiteral("WaterMarkTextColorKey");
inline const QString WaterMarkTextBGColorKey = QStringLiteral("WaterMarkTextBGColorKey");
inline const QString WaterMarkTextSizeKey = QStringLiteral("WaterMarkTextSizeKey");
inline const QString PlaylistNameKey = QStringLiteral("PlaylistNameKey");
inline const QString BookmarksKey = QStringLiteral("BookmarksKey");
inline const QString ExperimentalKey = QStringLiteral("ExperimentalKey");
inline const QString GuidKey = QStringLiteral("guid");
inline const QString Default_Profile_key = QStringLiteral("Default_Profile_key");
inline const QString UseIBooksAuthor = QStringLiteral("UseIBooksAuthor");
