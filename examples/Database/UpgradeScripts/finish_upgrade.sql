-- Marks the upgrade as finished.
UPDATE dbo.UpgradeHistory SET finishedAt = GETDATE() WHERE finishedAt IS NULL;
PRINT 'Upgrade recorded as finished.';
GO
