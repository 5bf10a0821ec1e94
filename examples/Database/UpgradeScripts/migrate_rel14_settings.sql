-- Release 14 kept settings in a key/value table that release 16 no longer reads.
IF OBJECT_ID('dbo.APP_Settings_Rel14') IS NOT NULL
BEGIN
    PRINT '###WARNING### Release 14 settings found; they are copied and the old table is kept.'
    PRINT '###ADVICE### Drop dbo.APP_Settings_Rel14 once the upgraded server has been checked.'
END
GO
