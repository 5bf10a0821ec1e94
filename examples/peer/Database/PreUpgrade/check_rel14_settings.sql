-- Release 14 kept settings in a table that this release no longer reads; an upgrade over it
-- would lose them, so their presence is an error (a real ERROR from the server).
INSERT INTO dbo.ExecutedScripts (name) VALUES (N'check_rel14_settings.sql');
PRINT '###DESCRIPTION### Release 14 settings check'
IF OBJECT_ID('dbo.APP_Settings_Rel14') IS NOT NULL PRINT '###ADVICE### Move the settings to dbo.APP_Settings, drop dbo.APP_Settings_Rel14 and retry.'
IF OBJECT_ID('dbo.APP_Settings_Rel14') IS NOT NULL RAISERROR('###ERROR### Release 14 settings are still in dbo.APP_Settings_Rel14.', 16, 1)
SELECT 0;
GO
