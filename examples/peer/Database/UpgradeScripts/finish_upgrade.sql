-- Marks the upgrade as finished.
INSERT INTO dbo.ExecutedScripts (name) VALUES (N'finish_upgrade.sql');
UPDATE dbo.UpgradeHistory SET finishedAt = GETDATE() WHERE finishedAt IS NULL;
PRINT 'Upgrade recorded as finished.';
GO
